#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/app.h"
#include "core/graphics.h"
#include "platform/os/input_device.h"
#include "platform/os/thread.h"
#include "platform/os/window.h"

namespace {

// Drains what the procedure posted; returns the quit code or -1.
int TakeQuit() {
  os::Message m;
  int code = -1;
  while (os::PeekMessage()) {
    if (!os::GetMessage(m)) code = static_cast<int>(m.wParam);
  }
  return code;
}

TEST(WindowProc, EscapeAndCloseQuitWithCodeZero) {
  TakeQuit();
  app::WindowProc(os::WM_KEYDOWN, os::VK_ESCAPE, 0);
  EXPECT_EQ(TakeQuit(), 0);
  app::WindowProc(os::WM_CLOSE, 0, 0);
  EXPECT_EQ(TakeQuit(), 0);
  app::WindowProc(os::WM_DESTROY, 0, 0);
  EXPECT_EQ(TakeQuit(), 0);
  app::WindowProc(os::WM_KEYDOWN, 'Q', 0);
  EXPECT_EQ(TakeQuit(), -1);
}

TEST(WindowProc, F2TogglesOnEveryKeyDownIncludingRepeats) {
  const bool before = app::DebugDrawEnabled();
  app::WindowProc(os::WM_KEYDOWN, os::VK_F2, 0);
  EXPECT_NE(app::DebugDrawEnabled(), before);
  app::WindowProc(os::WM_KEYDOWN, os::VK_F2, 1);  // auto-repeat
  EXPECT_EQ(app::DebugDrawEnabled(), before);
}

TEST(WindowProc, AnyNonZeroActivationCountsAsActive) {
  app::WindowProc(os::WM_ACTIVATE, 0, 0);
  EXPECT_FALSE(app::IsActive());
  app::WindowProc(os::WM_ACTIVATE, 0x00010001, 0);  // minimised but active
  EXPECT_TRUE(app::IsActive());
  app::WindowProc(os::WM_ACTIVATE, 0, 0);
  EXPECT_FALSE(app::IsActive());
}

TEST(MessageQueue, QuitCarriesItsExitCodeAndMessagesKeepTheirOrder) {
  TakeQuit();
  os::PostMessage(os::WM_ACTIVATE, 1);
  os::PostQuitMessage(7);
  os::Message m;
  ASSERT_TRUE(os::GetMessage(m));
  EXPECT_EQ(m.message, os::WM_ACTIVATE);
  EXPECT_FALSE(os::GetMessage(m));
  EXPECT_EQ(m.wParam, 7u);
}

TEST(Events, AutoResetEventWakesOneWaitAndIsConsumed) {
  os::CEvent e;
  EXPECT_FALSE(e.Wait(0));
  e.Set();
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(0)) << "auto-reset: the signal is consumed";
}

TEST(Events, WaitForAnyReturnsTheLowestSignalledIndex) {
  os::CEvent a, b, c;
  os::CEvent* all[3] = {&a, &b, &c};
  EXPECT_EQ(os::WaitForAnyEvent(all, 3, 0), os::kWaitTimeout);
  c.Set();
  b.Set();
  EXPECT_EQ(os::WaitForAnyEvent(all, 3, 0), 1);
  EXPECT_EQ(os::WaitForAnyEvent(all, 3, 0), 2);
  EXPECT_EQ(os::WaitForAnyEvent(all, 3, 0), os::kWaitTimeout);
}

TEST(Events, AnotherThreadWakesABlockedWait) {
  os::CEvent ready, done;
  std::atomic<int> got{-1};
  os::CThread worker;
  ASSERT_TRUE(worker.Start([&] {
    os::CEvent* evs[2] = {&ready, &done};
    got = os::WaitForAnyEvent(evs, 2, os::kInfinite);
  }));
  done.Set();
  worker.Join();
  EXPECT_EQ(got.load(), 1);
  EXPECT_FALSE(worker.Running());
}

}  // namespace
