// Capture, restore and verify at scale, headless, through both front ends: the real window
// offscreen with a desktop that answers every message, and tolvane-cli's commands with one
// job and with the default jobs. Each step of each size runs in a child process of its own,
// so that its peak memory is its own. Every call that would cross the network to a real
// server is counted, and every size is run again with each such call waiting the latency.
//
//   tolvane-bench [--sizes 2000,20000,50000] [--latency-us 300] [--work DIR] [--results FILE]

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
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "cli/commands.h"
#include "netware/sim/sim_network.h"
#include "support/fake_desktop.h"
#include "support/shaped_network.h"
#include "support/store_masks.h"

namespace fs = std::filesystem;

namespace {

// One front end's command at one latency: seconds and round trips.
struct Command {
  double seconds = 0;
  sim::RoundTrips trips;
};

// What a step reports, as "key value" lines.
using Report = std::map<std::string, double>;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

fs::path NetworkOf(const fs::path& work) { return work / "network"; }
fs::path ProgramOf(const fs::path& work) { return work / "program"; }
std::string BaseOf(const sim::GenerateOptions& options) {
  return options.server + "_" + options.volume;
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

// Times `run` and counts its round trips.
template <typename Run>
Command Measure(Run&& run) {
  sim::ResetRoundTrips();
  const auto start = std::chrono::steady_clock::now();
  run();
  return {Seconds(start), sim::CountedRoundTrips()};
}

void Put(Report& report, const std::string& name, const Command& command) {
  report[name + ".s"] = command.seconds;
  report[name + ".client"] = double(command.trips.clientCalls);
  report[name + ".control"] = double(command.trips.controlOperations);
  report[name + ".listing"] = double(command.trips.listings);
}

// The window's capture and restore of the generated volume, as a user clicks them.
void RunWindow(const sim::GenerateOptions& options, const fs::path& work, Report& report) {
  std::unique_ptr<nw::NetWarePlatform> platform = sim::OpenNetwork(NetworkOf(work));
  testing_support::FakeDesktop desktop;
  desktop.programFolder = ProgramOf(work).string();
  app::Form1 form(*platform, desktop);
  if (!form.Form_Load()) throw std::runtime_error("start-up failed");
  form.Combo2->setCurrentIndex(form.Combo2->findText(QString::fromStdString(options.tree)));
  form.SelectedVolume = BaseOf(options);
  form.Command1->setEnabled(true);

  Put(report, "window.capture", Measure([&] { form.Command1_Click(); }));
  if (desktop.messages.empty() || desktop.messages.back().text.rfind("All Done. File ", 0) != 0) {
    throw std::runtime_error("capture did not complete: " +
                             (desktop.messages.empty() ? "" : desktop.messages.back().text));
  }
  sim::ClearAssignments(NetworkOf(work), options.server, options.volume);
  desktop.messages.clear();
  desktop.openFileAnswers.push_back((ProgramOf(work) / (BaseOf(options) + ".RIGHTS")).string());
  Put(report, "window.restore", Measure([&] { form.Command4_Click(); }));
  if (desktop.messages.empty() || desktop.messages.back().text != "All trustees have been added.")
    throw std::runtime_error("restore did not complete");
}

// The command line's default number of jobs, which the benchmark sets beside --jobs 1.
constexpr std::size_t kDefaultJobs = 8;

std::unique_ptr<nw::NetWarePlatform> OpenInitialised(const fs::path& network) {
  std::unique_ptr<nw::NetWarePlatform> platform = sim::OpenNetwork(network);
  std::uint8_t reserved1 = 0, reserved2 = 0;
  if (platform->Client().NWCallsInit(&reserved1, &reserved2) != 0) {
    throw std::runtime_error("NWCallsInit failed");
  }
  return platform;
}

// The rights file tolvane-cli's capture with `jobs` writes; its filters file beside it.
fs::path CliFile(const sim::GenerateOptions& options, const fs::path& work, std::size_t jobs) {
  return ProgramOf(work) / ("cli" + std::to_string(jobs) + "-" + BaseOf(options) + ".RIGHTS");
}

// One of tolvane-cli's commands (capture, restore after a clear, verify) with `jobs`, called
// in-process as main() calls it; true when it did all it had to.
bool RunCli(const std::string& command, std::size_t jobs, const sim::GenerateOptions& options,
            const fs::path& work, Report& report) {
  std::unique_ptr<nw::NetWarePlatform> platform = OpenInitialised(NetworkOf(work));
  // The result lines go where a user's terminal would take them, not into this process's
  // memory, which is measured.
  struct Discard : std::streambuf {
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
  } discard;
  std::ostream out(&discard);
  std::ostringstream err;
  cli::Context context(*platform, out, err, /*quiet=*/true, /*progress=*/false);
  context.jobs = jobs;
  context.SetPlatformOpener([&] { return OpenInitialised(NetworkOf(work)); });
  const std::string file = CliFile(options, work, jobs).string();
  const std::string name = "cli" + std::to_string(jobs) + "." + command;
  int status = -1;
  if (command == "capture") {
    cli::CaptureOptions capture;
    capture.tree = options.tree;
    capture.volume = BaseOf(options);
    capture.output = file;
    capture.network = NetworkOf(work).string();
    Put(report, name, Measure([&] { status = cli::Capture(context, capture); }));
  } else if (command == "restore") {
    cli::RestoreOptions restore;
    restore.file = file;
    Put(report, name, Measure([&] { status = cli::Restore(context, restore); }));
  } else {
    cli::VerifyOptions verify;
    verify.file = file;
    Put(report, name, Measure([&] { status = cli::Verify(context, verify); }));
  }
  if (status != cli::kDone) {
    throw std::runtime_error("tolvane-cli " + command + " with " + std::to_string(jobs) +
                             " jobs failed: " + err.str());
  }
  return true;
}

// The masks as generated, kept in a file by the floor step so that no step holds them while
// it measures a command's memory.
using Masks = std::map<std::string, std::uint16_t>;
void WriteMasks(const fs::path& file, const Masks& masks) {
  std::ofstream out(file, std::ios::binary);
  for (const auto& [key, mask] : masks) out << mask << ' ' << key << '\n';
}
Masks ReadMasks(const fs::path& file) {
  Masks masks;
  std::ifstream in(file, std::ios::binary);
  std::uint16_t mask = 0;
  for (std::string key; in >> mask && in.get() == ' ' && std::getline(in, key);) masks[key] = mask;
  return masks;
}

// Every mask as generated comes back, a restored Read carrying 0x0004 as well.
bool MasksCameBack(const Masks& before, const Masks& after) {
  if (before.size() != after.size()) return false;
  for (const auto& [key, mask] : before) {
    const auto found = after.find(key);
    const std::uint16_t expected = mask | ((mask & 0x0001) ? 0x0004 : 0);
    if (found == after.end() || found->second != expected) return false;
  }
  return true;
}

double PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss);
}

// One step of one size, in this process; prints its report.
void RunStep(const std::string& step, long objects, const fs::path& work) {
  const auto options = testing_support::ShapedNetwork(objects);
  Report report;
  const auto floorFile = work / "before.txt";
  const auto floorFilters = work / "filters-before.txt";
  const auto floorMasks = work / "masks-before.txt";
  const auto masksCameBack = [&] {
    return MasksCameBack(
        ReadMasks(floorMasks),
        testing_support::StoreMasks(NetworkOf(work), options.server, options.volume));
  };
  if (step == "generate") {
    fs::remove_all(work);
    fs::create_directories(ProgramOf(work));
    const auto start = std::chrono::steady_clock::now();
    sim::GenerateNetwork(NetworkOf(work), options);
    report["generate.s"] = Seconds(start);
  } else if (step == "floor") {
    // One query over the store writing the same records to a file.
    const auto start = std::chrono::steady_clock::now();
    const auto dump = sim::DumpAssignments(NetworkOf(work), options.server, options.volume);
    std::ofstream out(floorFile, std::ios::binary);
    for (const auto& line : dump) out << line << "\r\n";
    out.close();
    report["floor.s"] = Seconds(start);
    report["assignments"] = double(dump.size());
    WriteMasks(floorMasks,
               testing_support::StoreMasks(NetworkOf(work), options.server, options.volume));
    std::ofstream filters(floorFilters, std::ios::binary);
    for (const auto& line : sim::DumpFilters(NetworkOf(work), options.server, options.volume)) {
      filters << line << "\r\n";
    }
  } else if (step == "clear") {
    sim::ClearAssignments(NetworkOf(work), options.server, options.volume);
  } else if (step == "window") {
    RunWindow(options, work, report);
    // The peak before the checks below, which hold both sides of the comparison.
    report["window.peakKiB"] = PeakKiB();
    const auto before = SortedLines(floorFile);
    const auto dump = sim::DumpAssignments(NetworkOf(work), options.server, options.volume);
    report["window.exact"] =
        SortedLines(ProgramOf(work) / (BaseOf(options) + ".RIGHTS")) == before &&
        std::vector<std::string>(dump.begin(), dump.end()) == before && masksCameBack();
  } else if (step.rfind("cli", 0) == 0) {
    // cliJ.capture, cliJ.restore, cliJ.verify: each command in a process of its own, so that
    // its peak memory is its own.
    const std::size_t jobs = std::stoul(step.substr(3, step.find('.') - 3));
    const std::string command = step.substr(step.find('.') + 1);
    RunCli(command, jobs, options, work, report);
    report[step + ".peakKiB"] = PeakKiB();
    const auto before = SortedLines(floorFile);
    const auto filtersBefore = SortedLines(floorFilters);
    bool exact = true;  // verify: it found no difference, or RunCli threw
    if (command == "capture") {
      fs::path filters = CliFile(options, work, jobs);
      exact = SortedLines(CliFile(options, work, jobs)) == before &&
              SortedLines(filters.replace_extension(".FILTERS")) == filtersBefore;
    } else if (command == "restore") {
      const auto dump = sim::DumpAssignments(NetworkOf(work), options.server, options.volume);
      exact = std::vector<std::string>(dump.begin(), dump.end()) == before &&
              sim::DumpFilters(NetworkOf(work), options.server, options.volume) == filtersBefore &&
              masksCameBack();
    }
    report[step + ".exact"] = exact;
  } else {
    throw std::runtime_error("unknown step " + step);
  }
  for (const auto& [key, value] : report) std::cout << key << ' ' << value << '\n';
}

Report Parse(const std::string& text) {
  Report report;
  std::istringstream in(text);
  std::string key;
  double value = 0;
  while (in >> key >> value) report[key] = value;
  return report;
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

struct SizeResult {
  long objects = 0;
  Report zero;    // every step at no latency
  Report latent;  // the front ends' steps at the latency, when measured
};

double Trips(const Report& r, const std::string& command) {
  return r.at(command + ".client") + r.at(command + ".control") + r.at(command + ".listing");
}

// The front ends as the table names them, and the prefix of their figures.
const std::vector<std::pair<std::string, std::string>> kFronts = {
    {"window", "window"},
    {"cli --jobs 1", "cli1"},
    {"cli (default, --jobs " + std::to_string(kDefaultJobs) + ")",
     "cli" + std::to_string(kDefaultJobs)}};
const char* const kCommands[] = {"capture", "restore", "verify"};

std::string Tables(const std::vector<SizeResult>& results, long latencyUs) {
  std::ostringstream out;
  out.setf(std::ios::fixed);
  const std::string at = " at " + std::to_string(latencyUs) + " µs";
  out << "| objects | assignments | front end | capture s | restore s | verify s | capture s" << at
      << " | restore s" << at << " | verify s" << at
      << " | round trips per assignment (capture, restore, verify) | latency added per "
         "assignment, in round trips (capture, restore, verify) | peak MiB (capture, restore, "
         "verify) | exact |\n"
      << "|---:|---:|:---|---:|---:|---:|---:|---:|---:|:---|:---|:---|:---:|\n";
  for (const SizeResult& size : results) {
    const Report& r = size.zero;
    const double assignments = std::max(1.0, r.at("assignments"));
    for (const auto& [front, prefix] : kFronts) {
      const auto figure = [&](const Report& from, const std::string& command, const char* what,
                              int precision) {
        const std::string key = prefix + "." + command + what;
        if (!from.count(key)) return std::string("-");
        std::ostringstream cell;
        cell.setf(std::ios::fixed);
        cell.precision(precision);
        cell << from.at(key);
        return cell.str();
      };
      const auto list = [&](const std::function<std::string(const char*)>& cell) {
        std::string text;
        for (const char* command : kCommands) text += (text.empty() ? "" : ", ") + cell(command);
        return text;
      };
      bool exact = true;
      out << "| " << size.objects << " | " << long(r.at("assignments")) << " | " << front;
      for (const char* command : kCommands) out << " | " << figure(r, command, ".s", 2);
      for (const char* command : kCommands) out << " | " << figure(size.latent, command, ".s", 2);
      out << " | " << list([&](const char* command) {
        const std::string key = prefix + "." + command;
        if (!r.count(key + ".s")) return std::string("-");
        std::ostringstream cell;
        cell.setf(std::ios::fixed);
        cell.precision(2);
        cell << Trips(r, key) / assignments;
        return cell.str();
      });
      out << " | " << list([&](const char* command) {
        const std::string key = prefix + "." + command + ".s";
        if (!r.count(key) || !size.latent.count(key)) return std::string("-");
        std::ostringstream cell;
        cell.setf(std::ios::fixed);
        cell.precision(3);
        cell << (size.latent.at(key) - r.at(key)) / (double(latencyUs) * 1e-6) / assignments;
        return cell.str();
      });
      out << " | " << list([&](const char* command) {
        // The window's capture and restore run in one process: one peak for both.
        const std::string key =
            prefix == "window" ? "window.peakKiB" : prefix + "." + command + ".peakKiB";
        if (!r.count(key) || (prefix == "window" && std::string(command) == "verify")) {
          return std::string("-");
        }
        std::ostringstream cell;
        cell.setf(std::ios::fixed);
        cell.precision(1);
        cell << r.at(key) / 1024.0;
        return cell.str();
      });
      for (const Report* from : {&r, &size.latent}) {
        for (const auto& [key, value] : *from) {
          if (key.rfind(prefix + ".", 0) == 0 && key.size() > 6 &&
              key.compare(key.size() - 6, 6, ".exact") == 0 && value == 0) {
            exact = false;
          }
        }
      }
      out << " | " << (exact ? "yes" : "NO") << " |\n";
    }
  }
  return out.str();
}

// Runs the steps of one size, each in a process of its own, with `latencyUs` for all of them.
Report RunSize(const char* self, long size, const fs::path& work, long latencyUs,
               const std::vector<std::string>& steps) {
  Report all;
  for (const std::string& each : steps) {
    const std::string command = "TOLVANE_SIM_LATENCY_US=" + std::to_string(latencyUs) + " '" +
                                self + "' --step " + each + " " + std::to_string(size) +
                                " --work '" + work.string() + "'";
    FILE* child = popen(command.c_str(), "r");
    if (!child) throw std::runtime_error("cannot start " + command);
    std::string output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, child)) output += buffer;
    if (pclose(child) != 0) throw std::runtime_error("the step " + each + " failed");
    all.merge(Parse(output));
  }
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes{2000, 20000, 50000};
  fs::path work = fs::temp_directory_path() / "tolvane-bench";
  fs::path results;
  long latencyUs = 300;
  long childSize = 0;
  std::string step;
  try {
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
      } else if (arg == "--latency-us") {
        latencyUs = std::stol(value());
      } else if (arg == "--work") {
        work = value();
      } else if (arg == "--results") {
        results = value();
      } else if (arg == "--step") {
        step = value();
        childSize = std::stol(value());
      } else {
        throw std::runtime_error("unknown argument " + arg);
      }
    }
  } catch (const std::exception& e) {
    std::cerr << e.what()
              << "\nusage: tolvane-bench [--sizes 2000,20000,50000] "
                 "[--latency-us 300] [--work DIR] [--results FILE]\n";
    return 2;
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

  std::vector<SizeResult> all;
  try {
    for (long size : sizes) {
      std::cerr << "running " << size << " objects..." << std::endl;
      const fs::path folder = work / std::to_string(size);
      std::vector<std::string> steps{"generate", "floor"};
      for (std::size_t jobs : {std::size_t{1}, kDefaultJobs}) {
        for (const std::string command : kCommands) {
          // The volume cleared in a process of its own, so that the restore's peak is its own.
          if (command == "restore") steps.push_back("clear");
          steps.push_back("cli" + std::to_string(jobs) + "." + command);
        }
      }
      // The window last: its restore brings back no filters, the command line's does.
      steps.push_back("window");
      SizeResult result{size, RunSize(argv[0], size, folder, 0, steps), {}};
      if (latencyUs > 0) {
        std::cerr << "  again at " << latencyUs << " µs a round trip..." << std::endl;
        // The window, one request at a time, takes minutes at the latency beyond the
        // smallest size.
        if (size != *std::min_element(sizes.begin(), sizes.end())) steps.pop_back();
        result.latent = RunSize(argv[0], size, folder, latencyUs, steps);
      }
      all.push_back(result);
      std::cerr << Tables({all.back()}, latencyUs);
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  const std::string table = Tables(all, latencyUs);
  std::cout << table;
  if (!results.empty()) {
    std::ofstream out(results);
    out << "# Benchmark results\n\nMachine: " << Machine() << "\n\nCommand: `./scripts/bench`\n\n"
        << "Each size is a generated network (about five assignments per object, one directory "
           "with up to 5,000 trustees, paths up to 20 levels deep, a trustee on a file for every "
           "fourth object and a filter for every tenth), captured, then cleared and restored from "
           "the rights file, then verified against it: by the window offscreen (capture and "
           "restore, one request at a time, each object asked for its trustee paths) and by "
           "tolvane-cli's commands with --jobs 1 and with the default jobs (its capture and "
           "verify read every directory's trustee list in batches in the walk that reads the "
           "filters). Every size is measured at no latency and again with every round "
           "trip waiting "
        << latencyUs
        << " µs, as against a distant server, nothing projected; the window only at the "
           "smallest size at the latency, as it takes minutes beyond it (\"-\" where not run). "
           "A round trip is a call that crosses the network to a real server: a client call, "
           "an operation of the NDS controls, a directory listing. The latency added per "
           "assignment is the time the latency adds, divided by the latency and the number of "
           "assignments. Each tolvane-cli command runs in a process of its own, so its peak "
           "memory is its own; the window's capture and restore share one. \"exact\" says "
           "the rights file (and tolvane-cli's filters file) and the store after the restore "
           "hold exactly the generated assignments and filters, their raw masks included (a "
           "restored Read carries 0x0004 as well), and that verify found no difference, at "
           "every latency.\n\n"
        << table;
  }
  fs::remove_all(work);
  return 0;
}
