// What devhost tells its user when a map cannot be opened or saved: one row per cause,
// each made for real where the store can be made to fail here, and the sentence devhost
// shows for it, with the store's own words on the second line.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "devhost/app/user_messages.h"
#include "mapstore/map_file.h"
#include "host/utf8_win.h"
#include "tests/windows/plugin_fixture.h"

namespace {

std::string Folder() { return Utf8(TestFolder()); }

std::string SmallMap(const std::string& name) {
    MapHeader header;
    header.width = 400;
    header.height = 300;
    header.originLat = 36.5;
    header.originLon = -84.0;
    header.cellLat = header.cellLon = 1.0 / 1200.0;
    std::vector<int16_t> grid(400 * 300, 100);
    std::string path = Folder() + name, error;
    EXPECT_TRUE(CreateMapFile(path, header, grid.data(), &error)) << error;
    return path;
}

void WriteText(const std::string& path, const std::string& text) {
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

// Flips a byte at each offset: two in the header and one in its copy leave neither.
void Damage(const std::string& path, std::initializer_list<size_t> offsets) {
    std::string bytes = ReadFileBytes(path);
    for (size_t at : offsets) bytes[at] ^= 0x5A;
    WriteText(path, bytes);
}

std::string OpenError(const std::string& path) {
    MapFileReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(path, &error)) << path;
    return error;
}

// What a save that began from a reader of the map says.
std::string SaveError(const std::string& path, const std::function<void(const MapFileReader&)>& meanwhile) {
    MapFileReader reader;
    std::string error;
    EXPECT_TRUE(reader.Open(path, &error)) << error;
    meanwhile(reader);
    MapSaveSession session;
    EXPECT_FALSE(session.Begin(path, reader, &error)) << path;
    return error;
}

std::string SaveAsError(const std::string& target, const std::function<void()>& meanwhile) {
    MapFileReader reader;
    std::string error;
    EXPECT_TRUE(reader.Open(SmallMap("messages-source.map"), &error)) << error;
    meanwhile();
    EXPECT_FALSE(reader.CopyCommittedTo(target, &error)) << target;
    return error;
}

void SaveElsewhere(const std::string& path) {
    MapSaveSession other;
    std::vector<int16_t> block(kMapBlockSamples, 500);
    std::string error;
    EXPECT_TRUE(other.Begin(path, &error) && other.Append(0, block.data(), &error) && other.Commit(&error)) << error;
}

TEST(UserMessagesTest, EachCauseIsToldInJapaneseWithTheDetailBelow) {
    using devhost::MapTask;
    const std::string folder = Folder();
    std::FILE* heldOpen = nullptr;
    struct Row {
        const char* cause;
        MapTask task;
        std::string path;
        std::function<std::string()> detail;
        bool diskFull;
        const wchar_t* says;
        bool offersSaveAs;
    } rows[] = {
        {"missing map", MapTask::kOpen, folder + "nosuch.map", [&] { return OpenError(folder + "nosuch.map"); },
         false, L"地図ファイル「nosuch.map」が見つかりません。", false},
        {"a text file", MapTask::kOpen, folder + "README.txt",
         [&] { WriteText(folder + "README.txt", "Zolva terrain editor\r\n\r\nUnpack the zip and run devhost.exe.\r\n"); return OpenError(folder + "README.txt"); }, false,
         L"「README.txt」は地図ファイル (.map) ではありません。GeoTIFF などは zolva-make-map import で .map に変換してください。",
         false},
        {"a GeoTIFF", MapTask::kOpen, folder + "dem.tif",
         [&] { WriteText(folder + "dem.tif", std::string("II*\0\x08\0\0\0", 8)); return OpenError(folder + "dem.tif"); },
         false, L"「dem.tif」は地図ファイル (.map) ではありません。", false},
        {"header and copy damaged", MapTask::kOpen, folder + "m-header.map",
         [&] {
             std::string map = SmallMap("m-header.map");
             Damage(map, {20, 40, ReadFileBytes(map).size() - 40});
             return OpenError(map);
         },
         false, L"zolva-make-map recover", false},
        {"saved by another program", MapTask::kSave, folder + "m-saved.map",
         [&] { return SaveError(SmallMap("m-saved.map"), [&](const MapFileReader&) { SaveElsewhere(folder + "m-saved.map"); }); },
         false, L"別のプログラムが保存したため、上書きしませんでした。編集を失わないよう、まず名前を付けて保存", true},
        {"being written", MapTask::kSave, folder + "m-busy.map",
         [&] {
             std::string map = SmallMap("m-busy.map"), error;
             MapWriteLock lock;
             EXPECT_TRUE(lock.Acquire(map, &error)) << error;
             MapSaveSession session;
             EXPECT_FALSE(session.Begin(map, &error));
             return error;
         },
         false, L"別のプログラムが書き込み中です", false},
        {"read-only map", MapTask::kSave, folder + "m-ro.map",
         [&] { return "map file " + folder + "m-ro.map is read-only; nothing was written"; }, false,
         L"読み取り専用のため保存できません。名前を付けて保存", true},
        {"full disk at save", MapTask::kSave, folder + "m-full.map",
         [&] { return "cannot write block 0 to " + folder + "m-full.map"; }, true,
         L"ディスクがいっぱいで保存できませんでした", false},
        {"full disk at save as", MapTask::kSaveAs, folder + "m-full-as.map",
         [&] { return "cannot write " + folder + "m-full-as.map.zolva-1a2b3c: the disk is full"; }, false,
         L"ディスクがいっぱいで保存できませんでした", false},
        {"damaged header at save", MapTask::kSave, folder + "m-damaged.map",
         [&] {
             std::string map = SmallMap("m-damaged.map"), error;
             Damage(map, {20, 40, ReadFileBytes(map).size() - 40});
             MapSaveSession session;
             EXPECT_FALSE(session.Begin(map, &error));
             return error;
         },
         false, L"壊れているため保存できません。ディスク上の地図は変わっていません。名前を付けて保存するか、zolva-make-map recover",
         false},
        {"save as into a missing folder", MapTask::kSaveAs, folder + "no-such-folder\\m.map",
         [&] { return SaveAsError(folder + "no-such-folder\\m.map", [] {}); }, false,
         L"保存先のフォルダー「", false},
        {"save as onto a map another program has open", MapTask::kSaveAs, folder + "m-held.map",
         [&] {
             std::string held = SmallMap("m-held.map");
             return SaveAsError(held, [&] { heldOpen = std::fopen(held.c_str(), "rb"); });
         },
         false, L"「m-held.map」は別のプログラムが開いているため上書きできません", false},
    };
    for (Row& row : rows) {
        std::string detail = row.detail();
        if (heldOpen != nullptr) std::fclose(heldOpen), heldOpen = nullptr;
        devhost::MapFailure failure{row.task, row.path, detail, row.diskFull};
        std::wstring text = devhost::MapFailureText(failure);
        EXPECT_NE(std::wstring::npos, text.find(row.says)) << row.cause << "\n" << Narrow(text);
        EXPECT_NE(std::wstring::npos, text.find(L"。\n(" + Widen(detail) + L")")) << row.cause << "\n" << Narrow(text);
        EXPECT_EQ(row.offersSaveAs, devhost::SaveAsGetsRound(failure)) << row.cause << "\n" << Narrow(text);
    }
}

}  // namespace
