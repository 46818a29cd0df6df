#pragma once
// The About box's name-and-version line, from the version text.

#include <string>

// The dots of the version number become dashes while the "Ver.:" prefix
// keeps its dot: "Ver.:1.1.1.119" reads "Ver.:1-1-1-119". Three passes over
// the whole text (".:" to "??", "." to "-", "??" back to ".:"), so a "??"
// already in the text comes out as ".:".
std::wstring DashedVersion(std::wstring versionText);

// "Clipdeck <dashed version> " (program name, version, an empty note).
std::wstring AboutLabel(const std::wstring& versionText);
