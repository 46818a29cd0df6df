#include "lists/list_text.h"

#include <cwchar>

std::wstring DurationText(int seconds) {
    // A negative length from a hand-edited file reads as the large unsigned
    // number it is stored as, rather than as a time with minus signs.
    unsigned long value = static_cast<unsigned long>(static_cast<unsigned int>(seconds));
    wchar_t text[32];
    std::swprintf(text, 32, L"%lu:%02lu", value / 60, value % 60);
    return text;
}
