#pragma once

// The summed proportional set size (PSS, in KiB) of a process and all its
// descendants, from /proc; without Qt, so the bare WebKitGTK program can
// use it too.
#include <sys/types.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

inline long long treePssKiB(pid_t root) {
  std::map<long long, std::vector<long long>> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    char* end = nullptr;
    const long long pid = std::strtoll(name.c_str(), &end, 10);
    if (name.empty() || *end) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string s((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = s.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(s.substr(close + 2));
    std::string state;
    long long parent = 0;
    if (rest >> state >> parent) children[parent].push_back(pid);
  }
  long long total = 0;
  std::vector<long long> todo{root};
  while (!todo.empty()) {
    const long long pid = todo.back();
    todo.pop_back();
    for (long long c : children[pid]) todo.push_back(c);
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line))
      if (line.rfind("Pss:", 0) == 0) total += std::strtoll(line.c_str() + 4, nullptr, 10);
  }
  return total;
}

// The PSS (KiB) of one process's mappings whose file name contains one of
// `names`; with no names, of all its mappings. Says where a process's own
// memory goes (the engine libraries a frame has loaded, the GL driver).
inline long long mappedPssKiB(pid_t pid, const std::vector<std::string>& names = {}) {
  std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps");
  std::string line;
  bool counted = names.empty();
  long long total = 0;
  while (std::getline(smaps, line)) {
    if (line.rfind("Pss:", 0) == 0) {
      if (counted) total += std::strtoll(line.c_str() + 4, nullptr, 10);
    } else if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < line.find(' ')) {
      counted = names.empty();
      for (const std::string& n : names) counted = counted || line.find(n) != std::string::npos;
    }
  }
  return total;
}
