// Temporary: replaced by the go handler, input polling and book.
#include <chrono>
#include "book/book.h"
#include "uci/search_info.h"
#include "uci/uci.h"
std::int64_t now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}
int input_available() { return 0; }
void check_input(Position&, SearchInfo&) {}
Move book_probe(Position&, MoveList&) { return 0; }
#include <cstring>
void search_info_init(SearchInfo& info, std::int64_t now) {
    std::memset(&info, 0, sizeof info);
    info.status = THINKING; info.depth_limit = 128; info.poll_interval = 8192;
    info.start_time = info.last_info_time = now;
    info.prev2_score = info.prev_score = info.best_score = -10000;
}
