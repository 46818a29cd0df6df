#pragma once
// The About box: the program's name and product version, read from the
// executable's own version resource, and a link to the maker's page.

#include <string>

#include "framework/dialog.h"

// "Ver.:" and the executable's ProductVersion, built on first use and kept
// for the life of the process; the same buffer every time. Empty while the
// version resource cannot be read, and then read again on the next call.
const wchar_t* VersionText();

class CAboutDlg : public fw::Dialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

    const std::wstring& label() const { return nameAndVersion; }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(fw::DataExchange& dx) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;

private:
    std::wstring nameAndVersion;
};
