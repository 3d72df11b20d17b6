// A name that leads to a named pipe with nothing writing into it (chosen in the file
// dialog or given on the command line) is refused at once as "not a FLIC", instead of
// holding the viewer until some other program opens the pipe.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "tests/flic/flic_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

// Seconds an operation may take on a pipe before it counts as waiting for a writer.
constexpr auto AT_ONCE = std::chrono::milliseconds(1000);
// After this the test opens the pipe for writing itself, so that a waiting open ends.
constexpr auto RESCUE_AFTER = std::chrono::milliseconds(1500);

// Runs op on a pipe nobody writes to; the time it took. A helper thread frees an open
// that waits for a writer, so a fault shows as a slow call and never as a hang.
Clock::duration time_on_pipe(const std::string& pipe, const std::function<void()>& op) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread rescue([&] {
    std::unique_lock<std::mutex> lock(m);
    if (cv.wait_for(lock, RESCUE_AFTER, [&] { return done; })) return;
    while (!done) {
      lock.unlock();
      const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      lock.lock();
    }
  });
  const Clock::time_point start = Clock::now();
  op();
  const Clock::duration took = Clock::now() - start;
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_all();
  rescue.join();
  return took;
}

struct PipeCase {
  const char* name;
  std::function<int32_t(const std::string&)> op;
  int32_t result;
};

void PrintTo(const PipeCase& c, std::ostream* os) { *os << c.name; }

class NamedPipe : public Flic, public ::testing::WithParamInterface<PipeCase> {};

}  // namespace

TEST_P(NamedPipe, IsRefusedAtOnce) {
  start(8, 4);
  const std::string pipe = dir_ + "/pipe.flc";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  int32_t result = 99;
  const Clock::duration took = time_on_pipe(pipe, [&] { result = GetParam().op(pipe); });
  EXPECT_LT(took, AT_ONCE) << "waited for a writer";
  EXPECT_EQ(result, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Flic, NamedPipe,
    ::testing::Values(PipeCase{"HeaderCheck",
                               [](const std::string& p) {
                                 uint8_t header[FLIC_HEADER_SIZE];
                                 return flic_check_header(p.c_str(), header);
                               },
                               -2},
                      PipeCase{"Open",
                               [](const std::string& p) {
                                 FlicContext context{};
                                 const int32_t r = flic_open(p.c_str(), &context);
                                 if (r == 0) flic_close(&context);
                                 return r;
                               },
                               -2},
                      PipeCase{"Show", [](const std::string& p) { return flic_show(p.c_str(), 1, 0); }, -2}),
    [](const auto& p) { return std::string(p.param.name); });
