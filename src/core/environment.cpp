#include "core/environment.h"

CAppEnvironment* appEnvironment = nullptr;

CAppEnvironment& AppEnvironment() {
    if (!appEnvironment) appEnvironment = new CAppEnvironment();
    return *appEnvironment;
}

void ReleaseAppEnvironment() {
    delete appEnvironment;
    appEnvironment = nullptr;
}

std::wstring DataFilePath(const std::wstring& fileName) {
    return AppEnvironment().directory + L"\\" + fileName;
}

bool IsDebugSwitch(const std::wstring& argument) { return argument == L"-D482"; }

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}
