// A child process spoken to line by line over its stdin/stdout (the reference peer).
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kivo::doc::test {

class PeerProcess {
public:
  explicit PeerProcess(std::vector<std::string> argv) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      std::vector<char*> args;
      for (auto& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    m_to = fdopen(in[1], "w");
    m_from = fdopen(out[0], "r");
  }
  ~PeerProcess() {
    if (m_to) {
      fputs("quit\n", m_to);
      fclose(m_to);
    }
    if (m_from) fclose(m_from);
    if (m_pid > 0) waitpid(m_pid, nullptr, 0);
  }
  // Sends one line and returns the one-line answer (empty when the peer died).
  std::string ask(const std::string& line) {
    if (!m_to || !m_from) return {};
    fputs((line + "\n").c_str(), m_to);
    fflush(m_to);
    std::string answer;
    int c;
    while ((c = fgetc(m_from)) != EOF && c != '\n') answer.push_back(char(c));
    return answer;
  }

private:
  pid_t m_pid = -1;
  FILE* m_to = nullptr;
  FILE* m_from = nullptr;
};

}  // namespace kivo::doc::test
