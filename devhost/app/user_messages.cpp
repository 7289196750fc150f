#include "devhost/app/user_messages.h"

#include "host/utf8_win.h"

namespace devhost {
namespace {

enum TaskMask { kOpen = 1, kSave = 2, kSaveAs = 4, kAnySave = kSave | kSaveAs };

// A failure is told by the first row whose task matches and whose every needle is in the
// store's detail (an empty needle matches anything). {name} is the file's name, {folder}
// its folder.
struct MessageRow {
    int tasks;
    const char* needle;
    const char* alsoNeeded;
    bool saveAsGetsRound;
    const wchar_t* text;
};

const wchar_t kDiskFull[] =
    L"ディスクがいっぱいで保存できませんでした。ディスク上の地図は変わっていません。"
    L"空きを作ってからもう一度保存するか、別のドライブに名前を付けて保存してください。";

const MessageRow kRows[] = {
    {kOpen, "No such file or directory", "", false, L"地図ファイル「{name}」が見つかりません。"},
    {kOpen, "wrong magic number", "", false,
     L"「{name}」は地図ファイル (.map) ではありません。GeoTIFF などは zolva-make-map import で .map に変換してください。"},
    {kOpen, "Permission denied", "", false, L"地図ファイル「{name}」を読む権限がありません。"},
    {kOpen, "header", "", false,
     L"地図ファイル「{name}」の先頭 (ヘッダー) が壊れていて、その控えも読めません。"
     L"zolva-make-map recover で読めるブロックを新しい地図に取り出せます (--georef で位置を与えます)。"},
    {kOpen, "unknown format version", "", false,
     L"地図ファイル「{name}」はこの devhost より新しい形式か、先頭が壊れています。"
     L"新しい devhost で開くか、zolva-make-map recover で読めるブロックを取り出してください。"},
    {kOpen, "", "", false, L"地図ファイル「{name}」を開けません。"},
    {kAnySave, "the disk is full", "", false, kDiskFull},
    {kSave, "is read-only", "", true,
     L"地図「{name}」は読み取り専用のため保存できません。名前を付けて保存で、書き込める場所に保存してください。"},
    {kSave, "since it was opened", "", true,
     L"地図「{name}」は開いた後に別のプログラムが保存したため、上書きしませんでした。"
     L"編集を失わないよう、まず名前を付けて保存で別の名前に保存してください。"},
    {kAnySave, "being written by another program", "", false,
     L"地図「{name}」は別のプログラムが書き込み中です。少し待ってから、もう一度保存してください。"},
    {kSave, "was never read in full", "", true,
     L"読み込めなかったブロックへの編集があるため保存できません。"
     L"そのブロックの編集を元に戻してから保存するか、名前を付けて保存してください。"},
    {kSave, "checksum", "", false,
     L"地図ファイル「{name}」が壊れているため保存できません。ディスク上の地図は変わっていません。"
     L"名前を付けて保存するか、zolva-make-map recover で修復してください。"},
    {kSaveAs, "cannot rename", "Permission denied", false,
     L"「{name}」は別のプログラムが開いているため上書きできません。"
     L"別の名前を選ぶか、そのプログラムで閉じてからもう一度保存してください。"},
    {kSaveAs, "No such file or directory", "", false,
     L"保存先のフォルダー「{folder}」がありません。フォルダーを作るか、別の場所を選んでください。"},
    {kSaveAs, "Permission denied", "", false,
     L"フォルダー「{folder}」には書き込めません (読み取り専用か、権限がありません)。別の場所を選んでください。"},
    {kSaveAs, "Read-only file system", "", false,
     L"フォルダー「{folder}」は読み取り専用です。別の場所を選んでください。"},
    {kSave, "Permission denied", "", true,
     L"地図「{name}」に書き込む権限がありません。名前を付けて保存で、書き込める場所に保存してください。"},
    {kSave, "Read-only file system", "", true,
     L"地図「{name}」は読み取り専用の場所にあります。名前を付けて保存で、書き込める場所に保存してください。"},
    {kSave, "", "", false, L"地図「{name}」を保存できませんでした。ディスク上の地図は変わっていません。"},
    {kSaveAs, "", "", false, L"「{name}」に保存できませんでした。開いている地図は変わっていません。"},
};

int MaskOf(MapTask task) { return task == MapTask::kOpen ? kOpen : task == MapTask::kSave ? kSave : kSaveAs; }

const MessageRow& RowFor(const MapFailure& failure) {
    for (const MessageRow& row : kRows) {
        if ((row.tasks & MaskOf(failure.task)) == 0) continue;
        if (failure.diskFull && row.text == kDiskFull) return row;
        if (failure.detail.find(row.needle) != std::string::npos &&
            failure.detail.find(row.alsoNeeded) != std::string::npos) {
            return row;
        }
    }
    return kRows[sizeof kRows / sizeof kRows[0] - 1];
}

void ReplaceAll(std::wstring* text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text->find(from); at != std::wstring::npos; at = text->find(from, at + to.size())) {
        text->replace(at, from.size(), to);
    }
}

}  // namespace

std::wstring MapFailureText(const MapFailure& failure) {
    std::wstring path = Widen(failure.path);
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash);
    std::wstring text = RowFor(failure).text;
    ReplaceAll(&text, L"{name}", name);
    ReplaceAll(&text, L"{folder}", folder);
    if (!failure.detail.empty()) text += L"\n(" + Widen(failure.detail) + L")";
    return text;
}

bool SaveAsGetsRound(const MapFailure& failure) { return RowFor(failure).saveAsGetsRound; }

}  // namespace devhost
