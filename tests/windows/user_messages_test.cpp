// What devhost tells its user when a map cannot be opened or saved: one row per cause,
// with the store's own words where the store can be made to fail here, and the sentence
// devhost shows for it, the store's words on the line below.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "devhost/app/user_messages.h"
#include "mapstore/map_file.h"
#include "host/utf8_win.h"
#include "tests/windows/plugin_fixture.h"

namespace {

using devhost::MapTask;

TEST(UserMessagesTest, EachCauseIsToldInJapaneseWithTheDetailBelow) {
    const std::string dir = Utf8(TestFolder());
    MapHeader header;
    header.width = header.height = 320;
    header.cellLat = header.cellLon = 0.001;
    std::string missing, notMap, noFolder, heldOpen, unused;
    ASSERT_TRUE(CreateMapFile(dir + "m.map", header, nullptr, &unused) && CreateMapFile(dir + "held.map", header, nullptr, &unused));
    if (std::FILE* text = std::fopen((dir + "README.txt").c_str(), "wb")) std::fputs("Zolva terrain editor\r\n\r\n", text), std::fclose(text);
    MapFileReader reader, opened;
    reader.Open(dir + "nosuch.map", &missing);
    reader.Open(dir + "README.txt", &notMap);
    ASSERT_TRUE(opened.Open(dir + "m.map", &unused)) << unused;
    opened.CopyCommittedTo(dir + "no-such-folder\\m.map", &noFolder);
    std::FILE* held = std::fopen((dir + "held.map").c_str(), "rb");
    opened.CopyCommittedTo(dir + "held.map", &heldOpen);
    std::fclose(held);
    const std::string map = dir + "m.map";
    struct Row {
        MapTask task;
        std::string path, detail;
        bool diskFull;
        const wchar_t* says;
        bool offersSaveAs;
    } rows[] = {
        {MapTask::kOpen, dir + "nosuch.map", missing, false, L"地図ファイル「nosuch.map」が見つかりません。", false},
        {MapTask::kOpen, dir + "README.txt", notMap, false, L"「README.txt」は地図ファイル (.map) ではありません。GeoTIFF などは zolva-make-map import で .map に変換してください。", false},
        {MapTask::kOpen, map, "map file " + map + ": header checksum mismatch", false, L"壊れていて、その控えも読めません。zolva-make-map recover", false},
        {MapTask::kSave, map, "map file " + map + " was saved by another program since it was opened", false, L"別のプログラムが保存したため、上書きしませんでした。編集を失わないよう、まず名前を付けて保存", true},
        {MapTask::kSave, map, "the map is being written by another program (" + map + ")", false, L"別のプログラムが書き込み中です", false},
        {MapTask::kSave, map, "map file " + map + " is read-only; nothing was written", false, L"読み取り専用のため保存できません。名前を付けて保存", true},
        {MapTask::kSave, map, "block 0 was never read in full", false, L"元に戻してから保存するか、名前を付けて保存", true},
        {MapTask::kSave, map, "cannot write block 0 to " + map, true, L"ディスクがいっぱいで保存できませんでした", false},
        {MapTask::kSaveAs, map, "cannot write " + map + ".zolva-1a2b3c: the disk is full", false, L"ディスクがいっぱい", false},
        {MapTask::kSave, map, "map file " + map + ": header checksum mismatch", false, L"壊れているため保存できません。ディスク上の地図は変わっていません。名前を付けて保存するか、zolva-make-map recover", false},
        {MapTask::kSaveAs, dir + "no-such-folder\\m.map", noFolder, false, L"保存先のフォルダー「", false},
        {MapTask::kSaveAs, dir + "held.map", heldOpen, false, L"「held.map」は別のプログラムが開いているため上書きできません", false},
        {MapTask::kSaveAs, dir + "m.map", "cannot create a file beside " + map + ": Permission denied", false, L"には書き込めません (読み取り専用か、権限がありません)", false},
    };
    for (const Row& row : rows) {
        devhost::MapFailure failure{row.task, row.path, row.detail, row.diskFull};
        std::wstring text = devhost::MapFailureText(failure);
        EXPECT_NE(std::wstring::npos, text.find(row.says)) << row.detail << "\n" << Narrow(text);
        EXPECT_NE(std::wstring::npos, text.find(L"。\n(" + Widen(row.detail) + L")")) << Narrow(text);
        EXPECT_EQ(row.offersSaveAs, devhost::SaveAsGetsRound(failure)) << Narrow(text);
    }
}

}  // namespace
