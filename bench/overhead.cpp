// How much the library adds to an installation, measured in one run under a
// real installer session:
//   (a) each action that does not wait, against a no-op action in the same
//       session that sends as many messages: the installer's round trips are
//       the floor an action cannot go below; and one action-data message
//       against one log line;
//   (b) one process lookup, against a plain EnumProcesses + OpenProcess walk;
//   (c) the CPU time of a detection action waiting on prompts answered 0, as
//       a share of its wall time;
//   (d) the DLL's size and its imports.
// Every figure is a median over repeated runs. Prints a table and writes a CSV.
//
//   kci_overhead.exe [results.csv] [repetitions]
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/action_runs.h"
#include "bench/bench.h"
#include "detection/process_lookup.h"
#include "runtime/log.h"

namespace {

struct Row {
    std::string measure;
    std::string subject;
    double value;       // a ratio, a share in percent, or a size in KB
    double target;      // the value may not exceed it
    std::string detail;
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Median wall time of `work`, in seconds.
double TimeOf(int repetitions, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        work();
        QueryPerformanceCounter(&end);
        times.push_back(Seconds(start, end));
    }
    return Median(times);
}

// The floor: a no-op action that sends the very messages the measured one
// sent (kind and fields), each as the library sends one: a record made,
// filled, sent and closed.
void NoOpAction(MSIHANDLE session, const std::vector<harness::Message>& messages) {
    for (const harness::Message& message : messages) {
        MSIHANDLE record = MsiCreateRecord(static_cast<UINT>(message.FieldCount()));
        for (size_t i = 0; i < message.fields.size(); ++i) {
            const harness::Field& field = message.fields[i];
            if (field.isInteger) MsiRecordSetInteger(record, static_cast<UINT>(i), field.integer);
            else if (!field.isNull) MsiRecordSetStringW(record, static_cast<UINT>(i), field.text.c_str());
        }
        MsiProcessMessage(session, static_cast<INSTALLMESSAGE>(message.type), record);
        MsiCloseHandle(record);
    }
}

void MeasureActions(int repetitions, std::vector<Row>& rows) {
    for (const bench::ActionRun& run : bench::ActionRuns()) {
        if (run.waits) {
            rows.push_back({"a", run.Label(), 0, 1.2, "waits for a program as long as it runs: not measured"});
            continue;
        }
        bench::Stage stage;
        auto session = run.setup(stage);
        session->Answer(INSTALLMESSAGE_FILESINUSE, {IDCANCEL});
        session->Answer(INSTALLMESSAGE_USER, {IDOK});
        run.Call(session->Handle());  // warm-up: modules loaded, caches filled
        session->ClearRecords();
        run.Call(session->Handle());
        const std::vector<harness::Message> sent = session->Messages();
        const double action = TimeOf(repetitions, [&] {
            session->ClearRecords();
            run.Call(session->Handle());
        });
        const double floor = TimeOf(repetitions, [&] {
            session->ClearRecords();
            NoOpAction(session->Handle(), sent);
        });
        char detail[128];
        std::snprintf(detail, sizeof(detail), "%.1f us against %.1f us for %u messages", action * 1e6, floor * 1e6,
                      static_cast<unsigned>(sent.size()));
        rows.push_back({"a", run.Label(), floor > 0 ? action / floor : 0, 1.2, detail});
    }
}

// What each unit of work adds: one action-data message, against one log line
// of the same text, each the median of a hundred.
void MeasureActionData(int repetitions, std::vector<Row>& rows) {
    auto session = bench::Package().Open();
    const auto hundred = [&](const std::function<void()>& send) {
        return TimeOf(repetitions, [&] {
            session->ClearRecords();
            for (int i = 0; i < 100; ++i) send();
        }) / 100;
    };
    const double data = hundred([&] { kci::ShowActionData(session->Handle(), L"http://+:44440/"); });
    const double line = hundred([&] { kci::LogMessage(session->Handle(), L"%s", L"http://+:44440/"); });
    char detail[96];
    std::snprintf(detail, sizeof(detail), "%.1f us per action-data message, %.1f us per log line", data * 1e6, line * 1e6);
    rows.push_back({"a", "one action-data message", line > 0 ? data / line : 0, 1.2, detail});
}

// The walk every lookup stands on, and nothing more.
size_t PlainWalk() {
    DWORD ids[4096];
    DWORD bytes = 0;
    EnumProcesses(ids, sizeof(ids), &bytes);
    size_t opened = 0;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i])) {
            ++opened;
            CloseHandle(process);
        }
    }
    return opened;
}

void MeasureLookup(int repetitions, std::vector<Row>& rows) {
    auto session = bench::Package().Open();
    kci::FindRunningProcessByName(session->Handle(), L"kci-nothing-by-this-name.exe");
    session->ClearRecords();
    kci::FindRunningProcessByName(session->Handle(), L"kci-nothing-by-this-name.exe");
    const std::vector<harness::Message> sent = session->Messages();
    const double lookup = TimeOf(repetitions, [&] {
        session->ClearRecords();
        kci::FindRunningProcessByName(session->Handle(), L"kci-nothing-by-this-name.exe");
    });
    const double walk = TimeOf(repetitions, [] { PlainWalk(); });
    const double logging = TimeOf(repetitions, [&] {
        session->ClearRecords();
        NoOpAction(session->Handle(), sent);
    });
    char detail[160];
    std::snprintf(detail, sizeof(detail), "%.1f us against %.1f us; %.2f without its %u log lines (%.1f us)",
                  lookup * 1e6, walk * 1e6, walk > 0 ? (lookup - logging) / walk : 0,
                  static_cast<unsigned>(sent.size()), logging * 1e6);
    rows.push_back({"b", "FindRunningProcessByName", walk > 0 ? lookup / walk : 0, 2, detail});
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

void MeasureWaiting(int runs, std::vector<Row>& rows) {
    bench::DummyProcess messenger(L"communicator.exe");
    std::vector<double> shares;
    double wall = 0;
    for (int i = 0; i < runs; ++i) {
        auto session = bench::Package().Open();
        session->Answer(INSTALLMESSAGE_FILESINUSE, {0});  // a silent installation's answer
        const double cpuBefore = CpuSeconds();
        wall = TimeOf(1, [&] { bench::CallAction("CheckRunningMOC", *session); });
        shares.push_back(100.0 * (CpuSeconds() - cpuBefore) / wall);
    }
    char detail[96];
    std::snprintf(detail, sizeof(detail), "CheckRunningMOC, 10 prompts answered 0, %.1f s of wall time", wall);
    rows.push_back({"c", "CheckRunningMOC", Median(shares), 1, detail});
}

void MeasureDll(std::vector<Row>& rows) {
    const std::wstring path = bench::BuildFolder() + L"\\KorviCustomImmediate.dll";
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    std::string imports;
    for (const auto& name : bench::ImportedDlls(bench::Library())) imports += (imports.empty() ? "" : " ") + name;
    rows.push_back({"d", "KorviCustomImmediate.dll", data.nFileSizeLow / 1024.0, 300, "imports " + imports});
}

const char* Unit(const std::string& measure) {
    return measure == "c" ? "% CPU" : measure == "d" ? "KB" : "x";
}

void Report(const std::vector<Row>& rows, const char* csvPath) {
    std::printf("%-2s %-26s %10s %8s  %s\n", "", "subject", "value", "target", "detail");
    FILE* csv = std::fopen(csvPath, "w");
    if (csv) std::fprintf(csv, "measure,subject,value,unit,target,met,detail\n");
    for (const Row& row : rows) {
        const bool measured = row.value > 0;
        const char* met = !measured ? "-" : row.value <= row.target ? "yes" : "NO";
        std::printf("%-2s %-26s %8.2f %-2s %5.1f %-3s  %s\n", row.measure.c_str(), row.subject.c_str(), row.value,
                    Unit(row.measure), row.target, met, row.detail.c_str());
        if (csv)
            std::fprintf(csv, "%s,%s,%.3f,%s,%.1f,%s,\"%s\"\n", row.measure.c_str(), row.subject.c_str(), row.value,
                         Unit(row.measure), row.target, met, row.detail.c_str());
    }
    if (csv) std::fclose(csv);
}

}  // namespace

int main(int argc, char** argv) {
    const char* csvPath = argc > 1 ? argv[1] : "overhead.csv";
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
    // No COM on this thread: the actions that use it start their own, as on
    // the installer's thread.
    std::vector<Row> rows;
    MeasureActions(repetitions, rows);
    MeasureActionData(repetitions, rows);
    MeasureLookup(repetitions, rows);
    MeasureWaiting(3, rows);
    MeasureDll(rows);
    Report(rows, csvPath);
    return 0;
}
