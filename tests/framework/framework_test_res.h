// The window layer's test dialog.
#pragma once

#define IDD_FWTEST          200

#define IDB_FWTEST_ACTION   1001
#define IDB_FWTEST_KEPT     1002
#define IDB_FWTEST_THROW    1003
#define IDR_FWTEST_ONE      1010
#define IDR_FWTEST_TWO      1011
#define IDR_FWTEST_THREE    1012
#define IDX_FWTEST_AFTER    1013
#define IDE_FWTEST_LOG      1020
#define IDE_FWTEST_NUMBER   1021
#define IDU_FWTEST_NUMBER   1022
#define IDL_FWTEST_LIST     1030
