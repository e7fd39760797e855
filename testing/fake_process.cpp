#include "testing/fake_process.h"

#include <csignal>

namespace korvell::testing {

namespace {

class FakeProcess final : public Process {
 public:
  explicit FakeProcess(FakeLauncher& launcher) : launcher_(launcher) { ++launcher_.processesAlive; }
  ~FakeProcess() override { --launcher_.processesAlive; }

  bool readOutput(std::string* text, std::chrono::milliseconds) override {
    ++launcher_.reads;
    if (launcher_.onRead) launcher_.onRead(launcher_.reads);
    if (next_ < launcher_.script.chunks.size()) {
      text->append(launcher_.script.chunks[next_++]);
      return true;
    }
    return !ended_ && launcher_.script.hangs;
  }

  std::optional<ExitStatus> wait(std::chrono::milliseconds) override {
    if (!ended_ && !launcher_.script.hangs && next_ >= launcher_.script.chunks.size()) {
      ended_ = launcher_.script.exit;
    }
    return ended_;
  }

  void terminate() override {
    ++launcher_.terminations;
    if (!ended_ && !launcher_.script.ignoresTerm) ended_ = ExitStatus::signalled(SIGTERM);
  }

  void kill() override {
    ++launcher_.kills;
    if (!ended_) ended_ = ExitStatus::signalled(SIGKILL);
  }

 private:
  FakeLauncher& launcher_;
  size_t next_ = 0;
  std::optional<ExitStatus> ended_;
};

}  // namespace

std::optional<std::string> FakeLauncher::findProgram(const std::string& name) const {
  lookedUp.push_back(name);
  return program;
}

Status FakeLauncher::start(const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment,
                           std::unique_ptr<Process>* process) {
  starts.push_back(arguments);
  environments.push_back(environment);
  if (!startError.empty()) return Status::failure(Status::Code::OpenFailed, startError);
  *process = std::make_unique<FakeProcess>(*this);
  return {};
}

}  // namespace korvell::testing
