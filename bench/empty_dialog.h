#pragma once

#define IDD_EMPTY 100
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
