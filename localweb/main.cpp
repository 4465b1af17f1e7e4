// localweb: a local stand-in for the outside web, reached as an HTTP forward proxy.
//
//   localweb [--port N] [--latency-ms N] [--log FILE] [--routes FILE] [--content DIR]
//   localweb --catalogue        prints the film catalogue as tab-separated lines
#include "catalogue.h"
#include "server.h"
#include "stopping.h"
#include "workers.h"

#include <httplib.h>

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

// Many requests must be able to wait at once (latency, stalls, idle keep-alive connections):
// a few threads stay ready, more are started on demand.
constexpr size_t warmWorkers = 32;
constexpr size_t maxWorkers = 2048;

// Set once the server loop has returned; read by the signal thread.
std::atomic<bool> finished{false};

// The library listens with a backlog of 5, too short for a browser or a benchmark that opens
// many connections at once: the kernel then drops connection attempts, which come back only
// after seconds. Listening again on the same socket raises the backlog.
class Server : public httplib::Server {
public:
    bool widenBacklog() { return ::listen(svr_sock_, SOMAXCONN) == 0; }
};

void usage(std::ostream& out) {
    out << "usage: localweb [--port N] [--latency-ms N] [--log FILE] [--routes FILE] "
           "[--content DIR]\n"
           "       localweb --catalogue\n";
}

std::optional<long long> number(const std::string& text) {
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The content folder is copied next to the program at build time.
fs::path defaultContentDir() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return "localweb-content";
    return self.parent_path() / "localweb-content";
}

void printCatalogue() {
    const localweb::Catalogue catalogue;
    std::cout << "number\ttitle_zh\ttitle_en\tyear\tsize\tquestion\tlink\n";
    for (const auto& film : catalogue.films()) {
        std::cout << film.number << '\t' << film.titleZh << '\t' << film.titleEn << '\t'
                  << film.year << '\t' << film.size << '\t' << film.questionId() << '\t'
                  << film.link() << '\n';
    }
}

} // namespace

int main(int argc, char** argv) {
    localweb::Options options;
    std::optional<fs::path> content;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            usage(std::cout);
            return 0;
        }
        if (arg == "--catalogue") {
            printCatalogue();
            return 0;
        }
        if (!hasValue) {
            usage(std::cerr);
            return 2;
        }
        const std::string value = argv[++i];
        if (arg == "--port") {
            const auto port = number(value);
            if (!port || *port > 65535) {
                std::cerr << "localweb: bad port: " << value << "\n";
                return 2;
            }
            options.port = static_cast<int>(*port);
        } else if (arg == "--latency-ms") {
            const auto ms = number(value);
            if (!ms) {
                std::cerr << "localweb: bad latency: " << value << "\n";
                return 2;
            }
            options.latency = std::chrono::milliseconds(*ms);
        } else if (arg == "--log") {
            options.logFile = fs::path(value);
        } else if (arg == "--routes") {
            options.routesFile = fs::absolute(value);
        } else if (arg == "--content") {
            content = fs::path(value);
        } else {
            usage(std::cerr);
            return 2;
        }
    }
    options.contentDir = content ? *content : defaultContentDir();
    if (!fs::is_directory(options.contentDir)) {
        std::cerr << "localweb: content folder not found: " << options.contentDir.string()
                  << " (use --content DIR)\n";
        return 1;
    }

    // Signals are taken by one thread with sigwait; every other thread keeps them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    localweb::Proxy proxy(options);
    if (!proxy.logReady()) {
        std::cerr << "localweb: cannot open log file: " << options.logFile->string() << "\n";
        return 1;
    }

    Server server;
    server.new_task_queue = [] { return new localweb::ElasticPool(warmWorkers, maxWorkers); };
    server.set_keep_alive_max_count(100);
    // Answers go out in more than one write; without this a reused connection waits for the
    // client's delayed acknowledgement before the rest of every answer.
    server.set_tcp_nodelay(true);
    proxy.attach(server);

    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port("127.0.0.1");
        if (port <= 0) {
            std::cerr << "localweb: cannot bind a port on 127.0.0.1\n";
            return 1;
        }
    } else if (!server.bind_to_port("127.0.0.1", port)) {
        std::cerr << "localweb: cannot bind 127.0.0.1:" << port << "\n";
        return 1;
    }

    if (!server.widenBacklog())
        std::cerr << "localweb: could not widen the listen backlog\n";

    std::thread signalWatcher([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        localweb::beginShutdown();
        server.stop();
        // Idle keep-alive connections can hold the workers for a few seconds; do not wait
        // for them longer than a moment.
        for (int i = 0; i < 20 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!finished) {
            std::cout.flush();
            std::_Exit(0);
        }
    });
    signalWatcher.detach();

    std::cout << "localweb listening on 127.0.0.1:" << port << std::endl;
    const bool ok = server.listen_after_bind();
    finished = true;
    if (!ok && !localweb::shuttingDown()) {
        std::cerr << "localweb: server stopped unexpectedly\n";
        return 1;
    }
    return 0;
}
