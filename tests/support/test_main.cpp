#include <gtest/gtest.h>

#include "test_env.h"

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#endif

namespace clipdeck::test {

void PrepareProcess() {
#ifdef _WIN32
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
    InitCommonControlsEx(&icc);
#endif
}

}  // namespace clipdeck::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    clipdeck::test::PrepareProcess();
    return RUN_ALL_TESTS();
}
