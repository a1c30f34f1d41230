// Capture and restore at scale, headless, through both front ends: the real window
// offscreen with a desktop that answers every message, and tolvane-cli's commands. Each
// step of each size runs in a child process of its own, so that its peak memory is its own.
// Every call that would cross the network to a real server is counted; the smallest size is
// also run with each such call waiting the latency, the others are projected from counts.
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
  // Trustees on files and inherited rights filters, which the command line's capture walks
  // the whole volume for.
  options.fileTrustees = static_cast<int>(objects / 4);
  options.filters = static_cast<int>(objects / 10);
  options.seed = 7;
  return options;
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

// tolvane-cli's capture (without its filters file, then with it) and restore of the generated
// volume, its commands called in-process.
void RunCli(const sim::GenerateOptions& options, const fs::path& work, Report& report) {
  std::unique_ptr<nw::NetWarePlatform> platform = sim::OpenNetwork(NetworkOf(work));
  std::ostringstream out, err;
  cli::Context context(*platform, out, err, /*quiet=*/true, /*progress=*/false);
  const std::string file = (ProgramOf(work) / ("cli-" + BaseOf(options) + ".RIGHTS")).string();
  int status = 0;
  cli::CaptureOptions capture;
  capture.tree = options.tree;
  capture.volume = BaseOf(options);
  capture.output = (ProgramOf(work) / "no-filters.RIGHTS").string();
  capture.noFilters = true;
  capture.network = NetworkOf(work).string();
  Put(report, "cli.capture.nofilters", Measure([&] { status = cli::Capture(context, capture); }));
  if (status != cli::kDone) throw std::runtime_error("cli capture failed: " + err.str());
  capture.output = file;
  capture.noFilters = false;
  Put(report, "cli.capture", Measure([&] { status = cli::Capture(context, capture); }));
  if (status != cli::kDone) throw std::runtime_error("cli capture failed: " + err.str());
  sim::ClearAssignments(NetworkOf(work), options.server, options.volume);
  cli::RestoreOptions restore;
  restore.file = file;
  Put(report, "cli.restore", Measure([&] { status = cli::Restore(context, restore); }));
  if (status != cli::kDone) throw std::runtime_error("cli restore failed: " + err.str());
}

// Every mask as generated comes back, a restored Read carrying 0x0004 as well.
bool MasksCameBack(const std::map<std::string, std::uint16_t>& before,
                   const std::map<std::string, std::uint16_t>& after) {
  if (before.size() != after.size()) return false;
  for (const auto& [key, mask] : before) {
    const auto found = after.find(key);
    const std::uint16_t expected = mask | ((mask & 0x0001) ? 0x0004 : 0);
    if (found == after.end() || found->second != expected) return false;
  }
  return true;
}

// One step of one size, in this process; prints its report.
void RunStep(const std::string& step, long objects, const fs::path& work) {
  const auto options = OptionsFor(objects);
  Report report;
  const auto floorFile = work / "before.txt";
  const auto floorFilters = work / "filters-before.txt";
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
    std::ofstream filters(floorFilters, std::ios::binary);
    for (const auto& line : sim::DumpFilters(NetworkOf(work), options.server, options.volume)) {
      filters << line << "\r\n";
    }
  } else if (step == "window" || step == "cli") {
    const auto masks = testing_support::StoreMasks(NetworkOf(work), options.server, options.volume);
    (step == "window" ? RunWindow : RunCli)(options, work, report);
    // The peak before the checks below, which hold both sides of the comparison.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    report[step + ".peakKiB"] = double(usage.ru_maxrss);
    const std::string prefix = step == "cli" ? "cli-" : "";
    const auto before = SortedLines(floorFile);
    const bool sameFile =
        SortedLines(ProgramOf(work) / (prefix + BaseOf(options) + ".RIGHTS")) == before;
    const auto dump = sim::DumpAssignments(NetworkOf(work), options.server, options.volume);
    const bool sameStore = std::vector<std::string>(dump.begin(), dump.end()) == before;
    // tolvane-cli's filters too: its filters file, and the store after its restore.
    const auto filtersBefore = SortedLines(floorFilters);
    const bool sameFilters =
        step != "cli" ||
        (SortedLines(ProgramOf(work) / ("cli-" + options.server + "_" + options.volume +
                                        ".FILTERS")) == filtersBefore &&
         sim::DumpFilters(NetworkOf(work), options.server, options.volume) == filtersBefore);
    report[step + ".exact"] =
        sameFile && sameStore && sameFilters &&
        MasksCameBack(masks,
                      testing_support::StoreMasks(NetworkOf(work), options.server, options.volume));
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

// What capturing the filters adds to tolvane-cli's capture; the window captures none.
std::string FiltersCost(const Report& r, const std::string& front, double assignments) {
  if (!r.count(front + ".capture.nofilters.client")) return "-";
  std::ostringstream cell;
  cell.setf(std::ios::fixed);
  cell.precision(3);
  cell << (Trips(r, front + ".capture") - Trips(r, front + ".capture.nofilters")) / assignments;
  return cell.str();
}

std::string Tables(const std::vector<SizeResult>& results, long latencyUs) {
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(2);
  out << "| objects | assignments | front end | capture s | restore s | capture round trips per "
         "assignment (client, control, listing: all) | restore round trips per record (client, "
         "control, listing: all) | capture s at "
      << latencyUs << " µs | restore s at " << latencyUs
      << " µs | peak MiB | capture / floor | filters' round trips per assignment | exact |\n"
      << "|---:|---:|:---|---:|---:|:---|:---|---:|---:|---:|---:|---:|:---:|\n";
  for (const SizeResult& size : results) {
    const Report& r = size.zero;
    const double assignments = std::max(1.0, r.at("assignments"));
    for (const std::string front : {"window", "cli"}) {
      auto perAssignment = [&](const std::string& command) {
        std::ostringstream cell;
        cell.setf(std::ios::fixed);
        cell.precision(2);
        cell << r.at(command + ".client") / assignments << ", "
             << r.at(command + ".control") / assignments << ", "
             << r.at(command + ".listing") / assignments << ": " << Trips(r, command) / assignments;
        return cell.str();
      };
      // Measured where it was run at the latency, else the time here plus a wait per trip.
      auto atLatency = [&](const std::string& command) {
        std::ostringstream cell;
        cell.setf(std::ios::fixed);
        cell.precision(1);
        if (size.latent.count(command + ".s")) {
          cell << size.latent.at(command + ".s");
        } else {
          cell << r.at(command + ".s") + Trips(r, command) * double(latencyUs) * 1e-6
               << " (projected)";
        }
        return cell.str();
      };
      out << "| " << size.objects << " | " << long(r.at("assignments")) << " | " << front << " | "
          << r.at(front + ".capture.s") << " | " << r.at(front + ".restore.s") << " | "
          << perAssignment(front + ".capture") << " | " << perAssignment(front + ".restore")
          << " | " << atLatency(front + ".capture") << " | " << atLatency(front + ".restore")
          << " | " << r.at(front + ".peakKiB") / 1024.0 << " | "
          << r.at(front + ".capture.s") / std::max(r.at("floor.s"), 1e-9) << " | "
          << FiltersCost(r, front, assignments) << " | "
          << (r.at(front + ".exact") != 0 ? "yes" : "NO") << " |\n";
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
      SizeResult result{
          size, RunSize(argv[0], size, folder, 0, {"generate", "floor", "cli", "window"}), {}};
      // tolvane-cli first: the window's restore brings back no filters, the command line's
      // does. Waiting out the latency is worth it for the smallest size only; the round trips of
      // the larger ones give their time.
      if (size == *std::min_element(sizes.begin(), sizes.end()) && latencyUs > 0) {
        std::cerr << "  again at " << latencyUs << " µs a round trip..." << std::endl;
        result.latent = RunSize(argv[0], size, folder, latencyUs, {"cli", "window"});
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
           "fourth object and a filter for every tenth), captured through each front "
           "end (the window offscreen, tolvane-cli's commands), then cleared and restored from "
           "the rights file. A round trip is a call that crosses the network to a real server: "
           "a client call, an operation of the NDS controls, a directory listing. The time at "
           "the latency is measured with every round trip waiting that long for the smallest "
           "size, and projected from the round trips for the others. The floor is one SQL query "
           "over the same store writing the same records to a file. \"exact\" says the rights "
           "file and the store after the restore hold exactly the generated assignments, their "
           "raw masks included (a restored Read carries 0x0004 as well), and for tolvane-cli its "
           "filters file and the filters after its restore hold exactly the generated ones. The "
           "filters' round trips are those tolvane-cli's capture makes beyond a capture with "
           "--no-filters.\n\n"
        << table;
  }
  fs::remove_all(work);
  return 0;
}
