// Capture and restore at scale, headless: generated networks, the real window offscreen,
// a desktop that answers every message. Each size runs in a child process of its own so
// that its peak memory is its own.
//
//   tolvane-bench [--sizes 2000,20000,50000] [--work DIR] [--results FILE]

#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "netware/sim/sim_network.h"
#include "support/counting_platform.h"
#include "support/fake_desktop.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  long objects = 0;
  long assignments = 0;
  double generateSeconds = 0;
  double captureSeconds = 0;
  double floorSeconds = 0;
  double restoreSeconds = 0;
  double captureCallsPerAssignment = 0;
  double restoreCallsPerAssignment = 0;
  long peakKiB = 0;
  bool exact = false;  // the rights file holds exactly the store's assignments
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::vector<std::string> SortedLines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

sim::GenerateOptions OptionsFor(long objects) {
  sim::GenerateOptions options;
  options.units = static_cast<int>(objects / 100);
  options.groups = static_cast<int>(objects / 20);
  options.roles = static_cast<int>(objects / 50);
  options.users = static_cast<int>(objects - options.units - options.groups - options.roles);
  options.directories = static_cast<int>(std::max<long>(100, objects / 4));
  options.assignments = static_cast<int>(objects * 5);
  options.depth = 20;
  options.crowdedTrustees = static_cast<int>(std::min<long>(5000, objects));
  options.seed = 7;
  return options;
}

std::string Serialize(const Result& r);

fs::path NetworkOf(const fs::path& work) { return work / "network"; }
fs::path ProgramOf(const fs::path& work) { return work / "program"; }
fs::path RightsOf(const fs::path& work, const sim::GenerateOptions& options) {
  return ProgramOf(work) / (options.server + "_" + options.volume + ".RIGHTS");
}

// Writes every assignment of the generated volume to `file`, as one query.
double DumpTo(const fs::path& work, const sim::GenerateOptions& options, const fs::path& file) {
  const auto start = std::chrono::steady_clock::now();
  const auto dump = sim::DumpAssignments(NetworkOf(work), options.server, options.volume);
  std::ofstream out(file, std::ios::binary);
  for (const auto& line : dump) out << line << "\r\n";
  out.close();
  return Seconds(start);
}

// The capture and the restore, in a process of their own so that its peak memory is theirs.
Result CaptureAndRestore(long objects, const fs::path& work) {
  Result result;
  result.objects = objects;
  const auto options = OptionsFor(objects);
  testing_support::CountingPlatform platform(sim::OpenNetwork(NetworkOf(work)));
  testing_support::FakeDesktop desktop;
  desktop.programFolder = ProgramOf(work).string();
  app::Form1 form(platform, desktop);
  if (!form.Form_Load()) throw std::runtime_error("start-up failed");
  form.Combo2->setCurrentIndex(form.Combo2->findText(QString::fromStdString(options.tree)));
  form.SelectedVolume = options.server + "_" + options.volume;
  form.Command1->setEnabled(true);

  long before = platform.Counter().Total();
  auto start = std::chrono::steady_clock::now();
  form.Command1_Click();
  result.captureSeconds = Seconds(start);
  const long captureCalls = platform.Counter().Total() - before;
  if (desktop.messages.empty() || desktop.messages.back().text.rfind("All Done. File ", 0) != 0) {
    throw std::runtime_error("capture did not complete: " +
                             (desktop.messages.empty() ? "" : desktop.messages.back().text));
  }
  {
    std::ifstream rights(RightsOf(work, options), std::ios::binary);
    result.assignments = std::count(std::istreambuf_iterator<char>(rights),
                                    std::istreambuf_iterator<char>(), '\n');
  }

  sim::ClearAssignments(NetworkOf(work), options.server, options.volume);
  desktop.messages.clear();
  desktop.openFileAnswers.push_back(RightsOf(work, options).string());
  before = platform.Counter().Total();
  start = std::chrono::steady_clock::now();
  form.Command4_Click();
  result.restoreSeconds = Seconds(start);
  if (desktop.messages.empty() || desktop.messages.back().text != "All trustees have been added.")
    throw std::runtime_error("restore did not complete");
  if (result.assignments > 0) {
    result.captureCallsPerAssignment = double(captureCalls) / double(result.assignments);
    result.restoreCallsPerAssignment =
        double(platform.Counter().Total() - before) / double(result.assignments);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  result.peakKiB = usage.ru_maxrss;
  return result;
}

// One step of one size, in this process; prints its part of the result.
void RunStep(const std::string& step, long objects, const fs::path& work) {
  const auto options = OptionsFor(objects);
  Result result;
  if (step == "generate") {
    fs::remove_all(work);
    fs::create_directories(ProgramOf(work));
    const auto start = std::chrono::steady_clock::now();
    sim::GenerateNetwork(NetworkOf(work), options);
    result.generateSeconds = Seconds(start);
  } else if (step == "floor") {
    result.floorSeconds = DumpTo(work, options, work / "before.txt");
  } else if (step == "run") {
    result = CaptureAndRestore(objects, work);
  } else if (step == "verify") {
    DumpTo(work, options, work / "after.txt");
    const auto before = SortedLines(work / "before.txt");
    result.exact =
        before == SortedLines(RightsOf(work, options)) && before == SortedLines(work / "after.txt");
  } else {
    throw std::runtime_error("unknown step " + step);
  }
  std::cout << Serialize(result) << std::endl;
}

std::string Serialize(const Result& r) {
  std::ostringstream out;
  out << r.objects << ' ' << r.assignments << ' ' << r.generateSeconds << ' ' << r.captureSeconds
      << ' ' << r.floorSeconds << ' ' << r.restoreSeconds << ' ' << r.captureCallsPerAssignment
      << ' ' << r.restoreCallsPerAssignment << ' ' << r.peakKiB << ' ' << r.exact;
  return out.str();
}

Result Parse(const std::string& text) {
  Result r;
  std::istringstream in(text);
  in >> r.objects >> r.assignments >> r.generateSeconds >> r.captureSeconds >> r.floorSeconds >>
      r.restoreSeconds >> r.captureCallsPerAssignment >> r.restoreCallsPerAssignment >> r.peakKiB >>
      r.exact;
  if (!in) throw std::runtime_error("cannot read the result of a run: " + text);
  return r;
}

std::string Machine() {
  utsname name{};
  uname(&name);
  std::string cpu = "unknown CPU";
  std::ifstream info("/proc/cpuinfo");
  for (std::string line; std::getline(info, line);) {
    if (line.rfind("model name", 0) == 0) {
      cpu = line.substr(line.find(':') + 2);
      break;
    }
  }
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  std::ostringstream out;
  out << cpu << ", " << sysconf(_SC_NPROCESSORS_ONLN) << " cores, "
      << (pages * pageSize) / (1024L * 1024 * 1024) << " GiB, " << name.sysname << ' '
      << name.release;
  return out.str();
}

std::string Table(const std::vector<Result>& results) {
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(2);
  out << "| objects | assignments | capture s | restore s | peak MiB | capture assignments/s "
         "| restore assignments/s | capture / floor | calls per assignment (capture, restore) "
         "| exact |\n"
      << "|---:|---:|---:|---:|---:|---:|---:|---:|---:|:---:|\n";
  for (const auto& r : results) {
    out << "| " << r.objects << " | " << r.assignments << " | " << r.captureSeconds << " | "
        << r.restoreSeconds << " | " << r.peakKiB / 1024.0 << " | "
        << long(r.assignments / std::max(r.captureSeconds, 1e-9)) << " | "
        << long(r.assignments / std::max(r.restoreSeconds, 1e-9)) << " | "
        << r.captureSeconds / std::max(r.floorSeconds, 1e-9) << " | " << r.captureCallsPerAssignment
        << ", " << r.restoreCallsPerAssignment << " | " << (r.exact ? "yes" : "NO") << " |\n";
  }
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes{2000, 20000, 50000};
  fs::path work = fs::temp_directory_path() / "tolvane-bench";
  fs::path results;
  long childSize = 0;
  std::string step;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--sizes") {
      sizes.clear();
      std::stringstream list(value());
      for (std::string item; std::getline(list, item, ',');) sizes.push_back(std::stol(item));
    } else if (arg == "--work") {
      work = value();
    } else if (arg == "--results") {
      results = value();
    } else if (arg == "--step") {
      step = value();
      childSize = std::stol(value());
    } else {
      std::cerr << "usage: tolvane-bench [--sizes 2000,20000,50000] [--work DIR] "
                   "[--results FILE]\n";
      return 2;
    }
  }

  if (childSize > 0) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
      RunStep(step, childSize, work / std::to_string(childSize));
      return 0;
    } catch (const std::exception& e) {
      std::cerr << "size " << childSize << ": " << e.what() << '\n';
      return 1;
    }
  }

  std::vector<Result> all;
  for (long size : sizes) {
    std::cerr << "running " << size << " objects..." << std::endl;
    // Each step is a process of its own; the peak memory reported is the capture's and the
    // restore's alone.
    Result result;
    for (const char* each : {"generate", "floor", "run", "verify"}) {
      const std::string command = std::string("'") + argv[0] + "' --step " + each + " " +
                                  std::to_string(size) + " --work '" + work.string() + "'";
      FILE* child = popen(command.c_str(), "r");
      if (!child) throw std::runtime_error("cannot start " + command);
      std::string output;
      char buffer[512];
      while (fgets(buffer, sizeof buffer, child)) output += buffer;
      if (pclose(child) != 0) {
        std::cerr << "the step " << each << " of " << size << " objects failed\n";
        return 1;
      }
      const Result part = Parse(output);
      result.objects = size;
      result.generateSeconds += part.generateSeconds;
      result.floorSeconds += part.floorSeconds;
      if (std::string(each) == "run") {
        result.assignments = part.assignments;
        result.captureSeconds = part.captureSeconds;
        result.restoreSeconds = part.restoreSeconds;
        result.captureCallsPerAssignment = part.captureCallsPerAssignment;
        result.restoreCallsPerAssignment = part.restoreCallsPerAssignment;
        result.peakKiB = part.peakKiB;
      }
      result.exact = part.exact;
    }
    all.push_back(result);
    std::cerr << Table({all.back()});
  }
  const std::string table = Table(all);
  std::cout << table;
  if (!results.empty()) {
    std::ofstream out(results);
    out << "# Benchmark results\n\nMachine: " << Machine() << "\n\nCommand: `./scripts/bench`\n\n"
        << "Each size is a generated network (about five assignments per object, one directory "
           "with up to 5,000 trustees, paths up to 20 levels deep), captured through the window "
           "offscreen, then cleared and restored from the rights file. The floor is one SQL "
           "query over the same store writing the same records to a file. \"exact\" says the "
           "rights file and the store after the restore hold exactly the generated "
           "assignments.\n\n"
        << table;
  }
  fs::remove_all(work);
  return 0;
}
