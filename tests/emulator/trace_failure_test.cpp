// A trace that cannot be written or flushed is noticed, wherever in the run that happens.
#include <gtest/gtest.h>

#include <ostream>
#include <streambuf>
#include <string>

#include "platform_host.h"
#include "trace/trace_writer.h"

namespace dalvorn::emulator {
namespace {

using testing::PrintTo;

// Takes `goodLines` lines (each written then flushed), then refuses writes or flushes.
class FailingBuffer final : public std::streambuf {
 public:
  FailingBuffer(int goodLines, bool refuseWrites) : left_(goodLines), refuseWrites_(refuseWrites) {}

 protected:
  int_type overflow(int_type c) override {
    return Refusing() && refuseWrites_ ? traits_type::eof() : traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    return Refusing() && refuseWrites_ ? 0 : n;
  }
  int sync() override {
    if (Refusing()) return -1;
    --left_;
    return 0;
  }

 private:
  bool Refusing() const { return left_ <= 0; }
  int left_;
  bool refuseWrites_;
};

struct FailureCase {
  std::string name;
  int goodLines;
  bool refuseWrites;
  bool failed;
};

class TraceFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TraceFailures, AreKeptUntilTheRunnerAsks) {
  const FailureCase& c = GetParam();
  FailingBuffer buffer(c.goodLines, c.refuseWrites);
  std::ostream out(&buffer);
  EmulationClock clock;
  TraceWriter trace(&out, clock);
  trace.Window("show");
  trace.Window("pump");
  trace.Exit(0);
  EXPECT_EQ(trace.Failed(), c.failed);
}

INSTANTIATE_TEST_SUITE_P(Table, TraceFailures,
                         ::testing::Values(FailureCase{"AllWritten", 3, true, false},
                                           FailureCase{"FirstWriteRefused", 0, true, true},
                                           FailureCase{"ExitLineRefused", 2, true, true},
                                           FailureCase{"ExitLineNotFlushed", 2, false, true},
                                           FailureCase{"MiddleLineNotFlushed", 1, false, true}),
                         [](const auto& instance) { return instance.param.name; });

}  // namespace
}  // namespace dalvorn::emulator
