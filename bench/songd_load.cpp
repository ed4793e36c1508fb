// Measures the song service: indexing speed against a TagLib floor, query latency on a large
// catalogue, and the service's memory idle and under concurrent searches.
//
//   songd_load index <folder> <count> <base.mp3>  make <count> tagged files (once), then time
//                                                 TagLib reading their tags and a full scan
//   songd_load query <tracks>                     p50/p99 of searches on a synthetic catalogue
//   songd_load memory <wavlon-songd> <folder>     resident memory idle and under 50 clients
//   songd_load front <wavlon-songd> <folder>      searches beside slow, idle and abusive
//                                                 clients; kept-alive latency
#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "songd/catalogue.h"
#include "songd/music_library.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using wavlon::songd::Catalogue;
using wavlon::songd::MusicLibrary;
using wavlon::songd::SearchField;

// Common characters of titles and names (a wide set, so that one character does not match
// a sixth of all songs as it would with a handful).
const std::vector<std::string> kHanzi = {
    "爱", "你", "我", "的", "心", "天", "晴", "雨", "风", "花", "月", "夜", "光", "梦", "海", "星",
    "歌", "情", "人", "路", "周", "杰", "伦", "王", "菲", "陈", "奕", "迅", "林", "俊", "一", "不",
    "是", "了", "在", "有", "这", "个", "们", "来", "到", "时", "大", "地", "为", "子", "中", "上",
    "说", "生", "国", "年", "着", "就", "那", "和", "要", "她", "出", "也", "得", "里", "后", "自",
    "以", "会", "家", "可", "下", "而", "过", "去", "能", "对", "小", "多", "然", "于", "学", "么",
    "之", "都", "好", "看", "起", "发", "当", "没", "成", "只", "如", "事", "把", "还", "用", "第",
    "样", "道", "想", "作", "种", "开", "美", "总", "从", "无", "己", "面", "最", "女", "但", "现",
    "前", "些", "所", "同", "日", "手", "又", "行", "意", "动", "方", "期", "它", "头", "经", "长",
    "儿", "回", "位", "分", "老", "因", "很", "给", "名", "法", "间", "斯", "知", "世", "什", "两",
    "次", "使", "身", "者", "被", "高", "已", "亲", "其", "进", "此", "话", "常", "与", "活", "正",
    "感", "见", "明", "问", "力", "理", "尔", "点", "文", "几", "定", "本", "公", "特", "做", "外",
    "孩", "相", "西", "果", "走", "将", "十", "实", "向", "声", "车", "全", "信", "重", "三", "机",
    "工", "物", "气", "每", "并", "别", "真", "打", "太", "新", "比", "才", "便", "夫", "再", "书",
    "部", "水", "像", "眼", "等", "体", "却", "加", "电", "主", "界", "门", "利", "受", "听", "表",
    "德", "少", "克", "代", "员", "许", "稜", "先", "口", "由", "死", "安", "写", "性", "马", "白",
    "或", "住", "难", "望", "教", "命", "结", "乐", "色", "更", "拉", "东", "神", "记", "处", "让",
    "母", "父", "应", "直", "字", "场", "平", "报", "友", "关", "放", "至", "张", "认", "接", "告",
    "入", "笑", "内", "英", "军", "候", "民", "岁", "往", "何", "度", "山", "觉", "带", "万", "男",
    "边", "解", "叫", "任", "金", "快", "原", "吃", "妈", "变", "通", "师", "立", "象", "数", "四",
    "失", "满", "战", "远", "格", "士", "音", "轻", "目", "条", "呢"};
const std::vector<std::string> kWords = {"love",  "night", "rain", "star", "dream", "light",
                                         "heart", "road",  "sea",  "moon", "blue",  "song"};

std::string random_title(std::mt19937& random) {
    std::string title;
    int length = 2 + static_cast<int>(random() % 5);
    for (int i = 0; i < length; ++i)
        title += kHanzi[random() % kHanzi.size()];
    if (random() % 3 == 0)
        title += " " + kWords[random() % kWords.size()];
    return title;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string syncsafe(std::size_t size) {
    std::string out(4, '\0');
    for (int i = 3; i >= 0; --i, size >>= 7)
        out[static_cast<std::size_t>(i)] = static_cast<char>(size & 0x7F);
    return out;
}

std::string text_frame(const char* id, const std::string& utf8) {
    std::string payload = "\x03" + utf8;
    return std::string(id) + syncsafe(payload.size()) + std::string(2, '\0') + payload;
}

// The audio frames of an MP3, without a leading ID3v2 tag.
std::string audio_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > 10 && bytes.compare(0, 3, "ID3") == 0) {
        std::size_t size = 0;
        for (int i = 6; i < 10; ++i)
            size = size * 128 + (static_cast<unsigned char>(bytes[i]) & 0x7F);
        bytes.erase(0, 10 + size);
    }
    return bytes;
}

int index_bench(const fs::path& folder, int count, const std::string& base) {
    std::string audio = audio_of(base);
    std::mt19937 random(7);
    if (!fs::exists(folder / ".made")) {
        for (int i = 0; i < count; ++i) {
            std::string frames = text_frame("TIT2", random_title(random)) +
                                 text_frame("TPE1", kHanzi[random() % kHanzi.size()] +
                                                        kHanzi[random() % kHanzi.size()]);
            fs::path path = folder / std::to_string(i / 500) / (std::to_string(i) + ".mp3");
            fs::create_directories(path.parent_path());
            std::ofstream out(path, std::ios::binary);
            out << "ID3\x04" << std::string(2, '\0') << syncsafe(frames.size()) << frames << audio;
        }
        std::ofstream(folder / ".made") << count;
    }
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().extension() == ".mp3")
            paths.push_back(entry.path().string());
    }
    double best_floor = 1e9;
    double best_scan = 1e9;
    for (int round = 0; round < 3; ++round) {
        auto start = Clock::now();
        std::size_t characters = 0;
        for (const auto& path : paths) {
            TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Fast);
            if (!file.isNull() && file.tag()) {
                characters += file.tag()->title().size() + file.tag()->artist().size();
            }
        }
        best_floor = std::min(best_floor, seconds_since(start));
        if (characters == 0)
            std::fprintf(stderr, "no tags read\n");

        fs::path db =
            fs::temp_directory_path() / ("songd-bench-" + std::to_string(getpid()) + ".db");
        fs::remove(db);
        {
            Catalogue catalogue(db.string());
            MusicLibrary library(catalogue, {folder.string()});
            start = Clock::now();
            auto report = library.scan_all();
            best_scan = std::min(best_scan, seconds_since(start));
            if (report.indexed != static_cast<std::int64_t>(paths.size())) {
                std::fprintf(stderr, "indexed %lld of %zu\n",
                             static_cast<long long>(report.indexed), paths.size());
            }
        }
        for (const char* suffix : {"", "-wal", "-shm"})
            fs::remove(db.string() + suffix);
    }
    double n = static_cast<double>(paths.size());
    std::printf(
        "index %zu files: TagLib floor %.0f files/s, full scan %.0f files/s, ratio %.2f "
        "(target <= 1.5)\n",
        paths.size(), n / best_floor, n / best_scan, best_scan / best_floor);
    return 0;
}

int query_bench(int tracks) {
    fs::path db = fs::temp_directory_path() / ("songd-query-" + std::to_string(getpid()) + ".db");
    std::mt19937 random(11);
    Catalogue catalogue(db.string());
    {
        Catalogue::Batch batch(catalogue);
        for (int i = 0; i < tracks; ++i) {
            catalogue.put("/music/" + std::to_string(i) + ".mp3", {1, 1}, random_title(random),
                          kHanzi[random() % kHanzi.size()] + kHanzi[random() % kHanzi.size()]);
        }
    }
    catalogue.checkpoint();  // as the service does after a scan
    struct Kind {
        const char* name;
        std::vector<std::string> keywords;
    };
    std::vector<Kind> kinds = {
        {"1 character", {}}, {"2 characters", {}}, {"3+ characters", {}}, {"latin word", {}}};
    for (int i = 0; i < 300; ++i) {
        const std::string& a = kHanzi[random() % kHanzi.size()];
        const std::string& b = kHanzi[random() % kHanzi.size()];
        const std::string& c = kHanzi[random() % kHanzi.size()];
        kinds[0].keywords.push_back(a);
        kinds[1].keywords.push_back(a + b);
        kinds[2].keywords.push_back(a + b + c);
        kinds[3].keywords.push_back(kWords[random() % kWords.size()]);
    }
    std::vector<double> all;
    for (auto& kind : kinds) {
        std::vector<double> times;
        for (const auto& keyword : kind.keywords) {
            auto start = Clock::now();
            auto rows = catalogue.search(keyword, SearchField::TitleOrAuthor, 1 + random() % 3);
            times.push_back(seconds_since(start) * 1000);
        }
        std::sort(times.begin(), times.end());
        std::printf("query %-13s p50 %.2f ms  p99 %.2f ms\n", kind.name, times[times.size() / 2],
                    times[times.size() * 99 / 100]);
        all.insert(all.end(), times.begin(), times.end());
    }
    std::sort(all.begin(), all.end());
    std::printf("query on %d tracks, all: p50 %.2f ms  p99 %.2f ms (target p99 < 5 ms)\n", tracks,
                all[all.size() / 2], all[all.size() * 99 / 100]);
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(db.string() + suffix);
    return 0;
}

std::string percent_encoded(const std::string& text) {
    std::string out;
    char hex[4];
    for (char c : text) {
        std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
        out += hex;
    }
    return out;
}

long status_kib(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size() + 1));
    }
    return -1;
}

int memory_bench(const std::string& songd, const fs::path& folder) {
    int port = 28000 + getpid() % 1000;
    fs::path db = fs::temp_directory_path() / ("songd-memory-" + std::to_string(getpid()) + ".db");
    pid_t pid = fork();
    if (pid == 0) {
        std::string listen = "127.0.0.1:" + std::to_string(port);
        execl(songd.c_str(), songd.c_str(), "--music", folder.c_str(), "--listen", listen.c_str(),
              "--db", db.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    httplib::Client client("127.0.0.1", port);
    auto start = Clock::now();
    // Ready once the whole folder is catalogued.
    while (seconds_since(start) < 120) {
        auto answer = client.Get("/");
        if (answer && answer->body.find(" tracks") != std::string::npos &&
            answer->body.find(">The song search for Wavlon: 0 tracks") == std::string::npos) {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    long idle = status_kib(pid, "VmRSS:");
    std::atomic<bool> stop{false};
    std::atomic<long> answered{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 50; ++i) {
        clients.emplace_back([&, i] {
            httplib::Client c("127.0.0.1", port);
            std::mt19937 random(static_cast<unsigned>(i));
            while (!stop) {
                std::string body = "input=" + percent_encoded(kHanzi[random() % kHanzi.size()]) +
                                   "&filter=name&type=x&page=" + std::to_string(1 + random() % 5);
                if (c.Post("/", body, "application/x-www-form-urlencoded"))
                    ++answered;
            }
        });
    }
    long peak = 0;
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peak = std::max(peak, status_kib(pid, "VmRSS:"));
    }
    stop = true;
    for (auto& c : clients)
        c.join();
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(db.string() + suffix);
    std::printf(
        "service memory: idle %.1f MiB, under 50 concurrent clients %.1f MiB peak "
        "(%ld searches in 5 s)\n",
        idle / 1024.0, peak / 1024.0, answered.load());
    return 0;
}

// A plain TCP client on 127.0.0.1, so that every server is measured through the same calls.
int connect_to(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool send_all(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads one answer with a Content-Length body; false on close, error or `timeout_ms`.
bool read_answer(int fd, int timeout_ms, std::string* status = nullptr) {
    std::string data;
    char buffer[16384];
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Clock::now() < deadline) {
        std::size_t head_end = data.find("\r\n\r\n");
        if (head_end != std::string::npos) {
            std::size_t at = data.find("Content-Length: ");
            std::size_t length = at == std::string::npos ? 0 : std::stoul(data.substr(at + 16));
            if (data.size() >= head_end + 4 + length) {
                if (status != nullptr)
                    *status = data.substr(9, 3);
                return true;
            }
        }
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0)
            continue;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return false;
}

std::string search_request(const std::string& keyword, int port, bool keep_alive = false) {
    std::string body = "input=" + percent_encoded(keyword) + "&filter=name&type=netease&page=1";
    return "POST / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nContent-Type: "
           "application/x-www-form-urlencoded\r\nX-Requested-With: XMLHttpRequest\r\n" +
           std::string(keep_alive ? "" : "Connection: close\r\n") +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct Latencies {
    std::vector<double> ms;
    int failed = 0;
    double percentile(int p) {
        if (ms.empty())
            return -1;
        std::sort(ms.begin(), ms.end());
        return ms[std::min(ms.size() - 1, ms.size() * static_cast<std::size_t>(p) / 100)];
    }
};

// `count` searches, each on a new connection as the player makes them; a search that is not
// answered within 5 s counts as failed, and five failures end the row.
Latencies timed_searches(int port, int count) {
    Latencies result;
    std::mt19937 random(5);
    for (int i = 0; i < count; ++i) {
        auto start = Clock::now();
        int fd = connect_to(port);
        std::string status;
        bool answered = fd >= 0 &&
                        send_all(fd, search_request(kHanzi[random() % kHanzi.size()], port)) &&
                        read_answer(fd, 5000, &status) && status == "200";
        if (fd >= 0)
            close(fd);
        if (answered)
            result.ms.push_back(seconds_since(start) * 1000);
        else if (++result.failed == 5)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return result;
}

pid_t start_service(const std::string& songd, const fs::path& folder, int port,
                    const fs::path& db) {
    pid_t pid = fork();
    if (pid == 0) {
        std::string listen = "127.0.0.1:" + std::to_string(port);
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 2);  // one log line per request would be measured too
        execl(songd.c_str(), songd.c_str(), "--music", folder.c_str(), "--listen", listen.c_str(),
              "--db", db.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Ready once the status page shows the same number of tracks, above 0, twice a second apart.
    auto start = Clock::now();
    std::string last_count;
    while (seconds_since(start) < 120) {
        httplib::Client client("127.0.0.1", port);
        auto answer = client.Get("/");
        std::size_t at = answer ? answer->body.find("Wavlon: ") : std::string::npos;
        std::string count = at == std::string::npos ? "" : answer->body.substr(at + 8, 12);
        if (!count.empty() && count[0] != '0' && count == last_count)
            break;
        last_count = count;
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return pid;
}

void print_row(const char* name, Latencies& latencies, const char* target) {
    std::printf("%s: p50 %.2f ms  p99 %.2f ms, %d of %zu unanswered (target %s)\n", name,
                latencies.percentile(50), latencies.percentile(99), latencies.failed,
                latencies.ms.size() + static_cast<std::size_t>(latencies.failed), target);
}

int front_bench(const std::string& songd, const fs::path& folder) {
    int port = 29000 + getpid() % 1000;
    fs::path db = fs::temp_directory_path() / ("songd-front-" + std::to_string(getpid()) + ".db");
    pid_t pid = start_service(songd, folder, port, db);

    // Kept alive: one connection for every search, as a browser or a pooled client does.
    {
        Latencies kept;
        int fd = connect_to(port);
        std::mt19937 random(3);
        for (int i = 0; i < 300 && fd >= 0; ++i) {
            auto start = Clock::now();
            std::string status;
            if (!send_all(fd, search_request(kHanzi[random() % kHanzi.size()], port, true)) ||
                !read_answer(fd, 5000, &status) || status != "200") {
                if (++kept.failed == 5)
                    break;
                close(fd);
                fd = connect_to(port);
                continue;
            }
            kept.ms.push_back(seconds_since(start) * 1000);
        }
        if (fd >= 0)
            close(fd);
        print_row("search on a kept-alive connection", kept, "p50 <= 1 ms");
    }

    // Eight clients sending their request a byte a second.
    {
        std::atomic<bool> stop{false};
        std::vector<std::thread> tricklers;
        for (int i = 0; i < 8; ++i) {
            tricklers.emplace_back([&] {
                std::string request = search_request("爱", port);
                while (!stop) {
                    int fd = connect_to(port);
                    for (std::size_t at = 0; fd >= 0 && at < request.size() && !stop; ++at) {
                        if (!send_all(fd, request.substr(at, 1)))
                            break;
                        for (int tick = 0; tick < 10 && !stop; ++tick)
                            std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    }
                    if (fd >= 0)
                        close(fd);
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        Latencies beside = timed_searches(port, 100);
        stop = true;
        for (auto& t : tricklers)
            t.join();
        print_row("search while 8 clients trickle a byte a second", beside, "p99 <= 50 ms");
    }

    // Five hundred connections held open without a byte; any the service closes is opened again.
    {
        std::atomic<bool> stop{false};
        std::atomic<int> held{0};
        std::thread holder([&] {
            std::vector<int> fds;
            while (!stop) {
                for (auto it = fds.begin(); it != fds.end();) {
                    char byte;
                    if (recv(*it, &byte, 1, MSG_DONTWAIT) == 0) {
                        close(*it);
                        it = fds.erase(it);
                    } else {
                        ++it;
                    }
                }
                while (fds.size() < 500) {
                    int fd = connect_to(port);
                    if (fd < 0)
                        break;
                    fds.push_back(fd);
                }
                held = static_cast<int>(fds.size());
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
            for (int fd : fds)
                close(fd);
        });
        std::this_thread::sleep_for(std::chrono::seconds(1));
        Latencies beside = timed_searches(port, 100);
        int held_at_end = held;
        stop = true;
        holder.join();
        print_row("search while 500 idle connections are held", beside, "p99 <= 50 ms");
        std::printf("  (%d connections held at the end)\n", held_at_end);
    }

    // Eight gzip bodies of 64 KiB, each a bomb of zeros, sent at once.
    {
        std::string bomb_gz;
        {
            // 64 KiB of gzip that inflates to about 64 MiB of zeros, made by gzip itself.
            fs::path zeros =
                fs::temp_directory_path() / ("songd-zeros-" + std::to_string(getpid()));
            std::string command =
                "head -c 67108864 /dev/zero | gzip -9 | head -c 65536 > " + zeros.string();
            if (std::system(command.c_str()) != 0)
                std::fprintf(stderr, "gzip failed\n");
            std::ifstream in(zeros, std::ios::binary);
            bomb_gz.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            fs::remove(zeros);
        }
        std::vector<std::thread> senders;
        std::atomic<int> statuses_413_415{0};
        for (int i = 0; i < 8; ++i) {
            senders.emplace_back([&] {
                int fd = connect_to(port);
                std::string status;
                std::string head = "POST / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                   "\r\nContent-Type: "
                                   "application/x-www-form-urlencoded\r\nContent-Encoding: gzip\r\n"
                                   "Content-Length: " +
                                   std::to_string(bomb_gz.size()) + "\r\n\r\n";
                if (fd >= 0 && send_all(fd, head + bomb_gz) && read_answer(fd, 30000, &status) &&
                    (status == "413" || status == "415")) {
                    ++statuses_413_415;
                }
                if (fd >= 0)
                    close(fd);
            });
        }
        for (auto& s : senders)
            s.join();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::printf(
            "resident memory after 8 gzip bodies of 64 KiB: %.1f MiB, %d refused (target <= 48 "
            "MiB)\n",
            status_kib(pid, "VmRSS:") / 1024.0, statuses_413_415.load());
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(db.string() + suffix);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "index")
        return index_bench(args[1], std::stoi(args[2]), args[3]);
    if (args.size() == 2 && args[0] == "query")
        return query_bench(std::stoi(args[1]));
    if (args.size() == 3 && args[0] == "memory")
        return memory_bench(args[1], args[2]);
    if (args.size() == 3 && args[0] == "front")
        return front_bench(args[1], args[2]);
    std::fprintf(stderr,
                 "usage: songd_load index <folder> <count> <base.mp3> | query <tracks> | "
                 "memory <wavlon-songd> <folder> | front <wavlon-songd> <folder>\n");
    return 2;
}
