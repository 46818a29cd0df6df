#include "listwindow/list_dlg.h"

#include "core/environment.h"
#include "framework/errors.h"

VideoListDialog::VideoListDialog(const Kind& kind, VideoList& items)
    : fw::Dialog(kind.templateId), kind_(kind), items_(items) {}

void VideoListDialog::SetUpList(const fw::ListView::Column* columns, size_t count) {
    file.SetPath(DataFilePath(kind_.fileName));
    LoadList();
    items_.SetChangeHandler([this] { RefreshList(); });
    list.AddExtendedStyle(fw::ListStyleForThisSystem());
    list.InsertColumns(columns, count);
    RefreshList();
}

void VideoListDialog::DoDataExchange(fw::DataExchange& dx) { dx.Control(kind_.listId, list); }

bool VideoListDialog::DestroyWindow() {
    if (!hwnd_) return false;
    SaveList();
    return fw::Dialog::DestroyWindow();
}

void VideoListDialog::OnCancel() { Show(SW_HIDE); }

void VideoListDialog::RefreshList() {
    if (!list.IsWindow()) return;
    const int selected = selectedRow();
    const std::wstring key = selected >= 0 ? list.GetItemText(selected, kind_.keyColumn) : std::wstring();
    list.SetRedraw(false);
    list.DeleteAllItems();
    const std::vector<VideoItem>& items = items_.items();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const std::vector<std::wstring> texts = RowTexts(i, items[static_cast<size_t>(i)]);
        list.InsertItem(i, texts.front());
        for (size_t column = 1; column < texts.size(); ++column) {
            list.SetItemText(i, static_cast<int>(column), texts[column]);
        }
    }
    if (selected >= 0) list.SelectRowWithText(kind_.keyColumn, key);
    list.SetRedraw(true);
    SetText(std::wstring(kind_.captionName) + L" " + std::to_wstring(items_.count()) + L" item");
}

std::optional<int> VideoListDialog::SelectedRow(const wchar_t* message) {
    const int row = selectedRow();
    if (items_.IsRow(row)) return row;
    fw::ShowMessage(hwnd_, message);
    return std::nullopt;
}

std::optional<int> VideoListDialog::PlaySelected() {
    if (!controller) return std::nullopt;
    const std::optional<int> row = SelectedRow(L"再生したVideoを選択してください.");
    if (row) controller->PlayItem(*items_.ItemAt(*row));
    return row;
}
