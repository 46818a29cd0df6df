#include "app/about_dlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/about_text.h"
#include "app/clipdeck_dlg.h"
#include "res/resource.h"

namespace {

constexpr std::size_t kVersionTextSize = 256;

wchar_t versionText[kVersionTextSize];
bool versionTextBuilt = false;

// "Ver.:<ProductVersion>" into versionText; false when anything is missing.
bool BuildVersionText() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return false;
    std::vector<unsigned char> data(size + 1);
    if (!::GetFileVersionInfoW(path, 0, size, data.data())) return false;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                          &length) ||
        length < sizeof(Translation))
        return false;
    wchar_t key[64];
    std::swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->codePage,
                  L"ProductVersion");
    wchar_t* value = nullptr;
    // A translation table without a product version counts as no version.
    if (!::VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&value), &length) || value == nullptr)
        return false;
    const std::wstring text = L"Ver.:" + std::wstring(value);
    const std::size_t kept = std::min(text.size(), kVersionTextSize - 1);
    text.copy(versionText, kept);
    versionText[kept] = L'\0';
    return true;
}

}  // namespace

const wchar_t* VersionText() {
    if (versionTextBuilt) return versionText;
    versionText[0] = L'\0';
    versionTextBuilt = BuildVersionText();
    return versionText;
}

CAboutDlg::CAboutDlg() : fw::Dialog(IDD_ABOUTBOX) {}

CAboutDlg::~CAboutDlg() = default;

bool CAboutDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();
    nameAndVersion = AboutLabel(VersionText());
    UpdateData(false);
    return true;
}

void CAboutDlg::DoDataExchange(fw::DataExchange& dx) { dx.Text(IDT_ABOUT_VERSION, nameAndVersion); }

bool CAboutDlg::OnNotify(int id, NMHDR* header, LRESULT& result) {
    switch (id) {
    case IDN_ABOUT_MAKER:
        if (header->code == NM_CLICK || header->code == NM_RETURN) {
            CClipdeckDlg::OpenMakerPage();
            result = 0;
            return true;
        }
        return false;
    default:
        return false;
    }
}
