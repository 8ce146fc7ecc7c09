#pragma once
// quillet-survey-server for one test: started on a free port of 127.0.0.1 with a log of its own,
// stopped when the test is done.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace quillet::test {

class SurveyTestServer {
 public:
  explicit SurveyTestServer(std::vector<std::string> options = {})
      : program_("quillet-survey-server", withLog(options, dir_ / "survey.log")) {
    const std::string listening = "listening on 127.0.0.1:";
    if (program_.waitForOutput(listening, std::chrono::seconds(10))) {
      const std::string out = program_.out();
      port_ = std::stoi(out.substr(out.find(listening) + listening.size()));
    }
  }

  bool listening() const { return port_ > 0; }
  std::string authority() const { return "127.0.0.1:" + std::to_string(port_); }

  // One line per request: "<n> <HTTP status> <status> <verdict> <target>[ (<detail>)]".
  std::vector<std::string> log() const {
    std::ifstream in(dir_ / "survey.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      lines.push_back(line);
    }
    return lines;
  }

 private:
  static std::vector<std::string> withLog(std::vector<std::string> options, const std::filesystem::path& log) {
    std::vector<std::string> args{"--port", "0", "--log", log.string()};
    args.insert(args.end(), options.begin(), options.end());
    return args;
  }

  TempDir dir_;
  BackgroundProgram program_;
  int port_ = 0;
};

}  // namespace quillet::test
