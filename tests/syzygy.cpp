// The Syzygy reader against values computed by another reader, across two
// directories; corvane-bench tb as a user runs it; damaged files read as absent.

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "harness/engine_process.h"
#include "io/output.h"
#include "syzygy/syzygy.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const fs::path TABLES = fs::path(CORVANE_DATA_DIR) / "syzygy" / "tables";

// Every line of an expected-values file (FEN ;wdl W ;dtz D), WDL and DTZ;
// each probe leaves the position as it found it, and a probe of a table
// already mapped allocates nothing. Returns the lines checked.
int check_expected_values(const fs::path& file) {
    std::ifstream epd(file);
    int checked = 0;
    for (std::string line; std::getline(epd, line);) {
        const auto w = line.find(";wdl "), d = line.find(";dtz ");
        EXPECT_NE(d, std::string::npos) << line;
        if (d == std::string::npos) continue;
        Position& pos = test_position(line.substr(0, w));
        const Key key = pos.st.hash;
        int wdl_ok = 0, dtz_ok = 0;
        const int wdl = tb_probe_wdl(pos, &wdl_ok);
        const int dtz = tb_probe_dtz(pos, &dtz_ok);
        EXPECT_TRUE(wdl_ok && dtz_ok) << line;
        const long before = heap_allocations;  // the tables are mapped now: probes run on the stack
        EXPECT_EQ(tb_probe_wdl(pos, &wdl_ok) + tb_probe_dtz(pos, &dtz_ok), wdl + dtz) << line;
        EXPECT_EQ(heap_allocations - before, 0) << "a probe allocated: " << line;
        EXPECT_EQ(wdl, std::stoi(line.substr(w + 5))) << line;
        EXPECT_EQ(dtz, std::stoi(line.substr(d + 5))) << line;
        EXPECT_TRUE(pos.st.hash == key && position_inconsistency(pos) == nullptr) << line;
        ++checked;
    }
    return checked;
}

// The values another reader computed, and (in a file beside this test, from
// python-chess's reader) KPvKP positions just after a double step that en
// passant can take: the capture that turns a draw or a loss into a win, the
// one that saves a lost game, one worse than a push, drawn ones, for either
// side to move. (Tables split over two directories: uci_tablebases.cpp.)
TEST(Syzygy, AgreesWithEveryExpectedValue) {
    ASSERT_EQ(tb_init(TABLES.string().c_str()), 35);
    EXPECT_EQ(tb_max_men(), 4);
    EXPECT_EQ(check_expected_values(fs::path(CORVANE_DATA_DIR) / "syzygy" / "expected.epd"), 200);
    EXPECT_EQ(check_expected_values(fs::path(__FILE__).parent_path() / "syzygy_en_passant.epd"), 6);

    // What the tables cannot answer: castling rights, more men than any table.
    int ok = 1;
    tb_probe_wdl(test_position("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1"), &ok);
    EXPECT_EQ(ok, 0);
    tb_probe_wdl(test_position("4k3/8/8/8/8/8/8/RNB1K3 w - - 0 1"), &ok);
    EXPECT_EQ(ok, 0);
    tb_free();
    tb_probe_wdl(test_position("4k3/8/8/8/8/8/8/R3K3 w - - 0 1"), &ok);
    EXPECT_EQ(ok, 0);
}

TEST(Syzygy, BenchPrintsBothValuesOrSaysTheTableIsMissing) {
    Finished r = run_to_end(bench_command({"tb", "--syzygy-path", TABLES.string(), "8/4r3/8/K7/4R3/8/8/5k2", "w", "-", "-", "0", "1"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "wdl 2\ndtz 1\n");
    ScratchDir empty;
    r = run_to_end(bench_command({"tb", "--syzygy-path", empty.path, "8/4r3/8/K7/4R3/8/8/5k2 w - - 0 1"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("table missing: KRvKR"), std::string::npos) << r.out;
}

// Random bytes, an empty file, a truncated copy and a header that names the
// wrong men: each is reported once with an info string and reads as absent,
// while an intact table beside them still answers. Found by a helper thread,
// the report waits for the main thread to write it, so it can never land
// inside a line the main thread is writing.
TEST(Syzygy, DamagedFilesAreReportedOnceAndReadAsAbsent) {
    ScratchDir scratch;
    const fs::path dir(scratch.path);
    std::mt19937 random(2026);
    std::string noise(4096, '\0');
    for (char& c : noise) c = char(random());
    fuzz::write_file(dir / "KQvK.rtbw", noise);
    fuzz::write_file(dir / "KNvK.rtbw", "");
    const std::string krvk = fuzz::read_file(TABLES / "KRvK.rtbw");
    fuzz::write_file(dir / "KRvK.rtbw", krvk.substr(0, krvk.size() / 2));
    std::string kbnvk = fuzz::read_file(TABLES / "KBNvK.rtbw");
    kbnvk[6] = char(0x22);  // the first man becomes a knight pair where a king was
    fuzz::write_file(dir / "KBNvK.rtbw", kbnvk);
    fs::copy_file(TABLES / "KPvK.rtbw", dir / "KPvK.rtbw");
    fs::copy_file(TABLES / "KPvK.rtbz", dir / "KPvK.rtbz");
    tb_init(dir.string().c_str());

    const char* damaged[] = {"8/8/8/3k4/8/8/8/Q3K3 w - - 0 1", "8/8/8/3k4/8/8/8/N3K3 w - - 0 1",
                             "8/8/8/3k4/8/8/8/R3K3 b - - 0 1", "8/8/8/3k4/8/8/8/NB2K3 w - - 0 1"};
    test_position(damaged[0]);
    testing::internal::CaptureStdout();
    for (int round = 0; round < 2; ++round) {
        std::thread helper([&] {
            relay_thread_output();
            for (const char* fen : damaged) {
                int ok = 1;
                EXPECT_EQ(tb_probe_wdl(test_position(fen), &ok), 0) << fen;
                EXPECT_EQ(ok, 0) << fen;
                tb_probe_dtz(test_position(fen), &ok);
                EXPECT_EQ(ok, 0) << fen;
            }
        });
        helper.join();
        if (round == 0) {
            EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
            testing::internal::CaptureStdout();
        }
        flush_relayed_output();
    }
    const std::string out = testing::internal::GetCapturedStdout();
    for (const char* name : {"KQvK.rtbw", "KNvK.rtbw", "KRvK.rtbw", "KBNvK.rtbw"}) {
        const std::string report = std::string("info string Syzygy table ") + name;
        const auto at = out.find(report);
        EXPECT_NE(at, std::string::npos) << name << "\n" << out;
        EXPECT_EQ(out.find(report, at + 1), std::string::npos) << name << " reported twice\n" << out;
    }
    int ok = 0;
    EXPECT_EQ(tb_probe_wdl(test_position("8/P7/8/8/8/8/k7/4K3 w - - 0 1"), &ok), TB_WIN);
    EXPECT_EQ(ok, 1);
    tb_free();
}

}  // namespace
