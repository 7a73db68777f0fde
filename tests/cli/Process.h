// Runs the vantel program as a child process, with its standard streams
// wired as a test needs: input from a file, a directory or an endless feed;
// output captured, sent to a file such as /dev/full, or read for a few lines
// and then closed; SIGPIPE ignored or not. POSIX only.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace vantel::cli::testing {

struct ProcessSpec {
  std::vector<std::string> args;         // after the program's name
  std::string stdinPath = "/dev/null";   // opened read-only: a file or a directory
  std::string endlessInput;              // when set, standard input is a pipe fed this text over and over
  std::string stdoutPath;                // when set, standard output goes there; otherwise it is captured
  std::size_t closeAfterLines = 0;       // when set, the captured output is closed after this many lines
  bool sigpipeIgnored = true;            // as a parent that ignores it leaves it to the child
  std::vector<std::string> environment;  // added to the test's own
};

struct ProcessResult {
  int exitStatus = -1;  // when it exited
  int signal = 0;       // when a signal ended it
  bool killed = false;  // still running at the time limit, and ended by the test
  std::string out, err;
  std::chrono::duration<double> elapsed{};
};

inline ProcessResult RunProcess(const std::string& program, const ProcessSpec& setup,
                                std::chrono::seconds limit = std::chrono::seconds(20)) {
  ProcessResult result;
  int outPipe[2], errPipe[2], inPipe[2] = {-1, -1};
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return result;
  if (!setup.endlessInput.empty() && pipe2(inPipe, O_CLOEXEC) != 0) return result;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (setup.endlessInput.empty()) {
    posix_spawn_file_actions_addopen(&actions, 0, setup.stdinPath.c_str(), O_RDONLY, 0);
  } else {
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  }
  if (setup.stdoutPath.empty()) {
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, setup.stdoutPath.c_str(), O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  if (!setup.sigpipeIgnored) sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  // An ignored signal stays ignored across exec: the test ignores SIGPIPE
  // itself (it writes to pipes whose reader may be gone), and so does the child.
  signal(SIGPIPE, SIG_IGN);

  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), setup.args.begin(), setup.args.end());
  std::vector<char*> argv;
  for (std::string& arg : argStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStrings;
  for (char** variable = environ; *variable != nullptr; ++variable) envStrings.emplace_back(*variable);
  for (const std::string& added : setup.environment) {  // replaces a variable of the same name
    const std::string prefix = added.substr(0, added.find('=') + 1);
    std::erase_if(envStrings, [&](const std::string& variable) { return variable.starts_with(prefix); });
    envStrings.push_back(added);
  }
  std::vector<char*> envp;
  for (std::string& variable : envStrings) envp.push_back(variable.data());
  envp.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  pid_t child = -1;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(outPipe[1]);
  close(errPipe[1]);
  if (inPipe[0] >= 0) close(inPipe[0]);
  if (spawned != 0) {
    result.err = std::string("cannot start ") + program + ": " + std::strerror(spawned);
    close(outPipe[0]);
    close(errPipe[0]);
    if (inPipe[1] >= 0) close(inPipe[1]);
    return result;
  }

  std::atomic<bool> feeding{true};
  std::thread feeder;
  if (inPipe[1] >= 0) {
    feeder = std::thread([&, fd = inPipe[1]] {
      while (feeding.load()) {
        if (write(fd, setup.endlessInput.data(), setup.endlessInput.size()) < 0) break;  // the child has gone
      }
      close(fd);
    });
  }

  // Reads both outputs until both are closed, or the time is up.
  const auto deadline = start + limit;
  int outFd = outPipe[0], errFd = errPipe[0];
  char chunk[65536];
  while (outFd >= 0 || errFd >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd watched[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    if (poll(watched, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    for (pollfd& one : watched) {
      if (one.fd < 0 || one.revents == 0) continue;
      const ssize_t got = read(one.fd, chunk, sizeof chunk);
      int& fd = one.fd == outFd ? outFd : errFd;
      if (got <= 0) {
        close(fd);
        fd = -1;
        continue;
      }
      std::string& text = &fd == &outFd ? result.out : result.err;
      text.append(chunk, static_cast<std::size_t>(got));
      if (&fd == &outFd && setup.closeAfterLines > 0 &&
          static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= setup.closeAfterLines) {
        close(fd);  // the reader goes away
        fd = -1;
      }
    }
  }
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      result.killed = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  result.elapsed = std::chrono::steady_clock::now() - start;
  if (outFd >= 0) close(outFd);
  if (errFd >= 0) close(errFd);
  feeding = false;
  if (feeder.joinable()) feeder.join();
  if (!result.killed && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (!result.killed && WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace vantel::cli::testing
