// test_application.h: the one QApplication of the shell tests, on the offscreen platform so the
// window can be built without a display. Owns nothing else.
#pragma once

namespace zolk::shell::test {

void ensureApplication();

}  // namespace zolk::shell::test
