#pragma once

namespace clipdeck::test {

// Process set-up shared by every test program: on Windows the common
// controls are initialised as the program does at start.
void PrepareProcess();

}  // namespace clipdeck::test
