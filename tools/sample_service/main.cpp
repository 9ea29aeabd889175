// zubo_sample_service: serves the sample boards on 127.0.0.1, so zubo can be
// tried without the network. Prints "port N" once it listens.
//
//   zubo_sample_service [--port N]
//
// Requests in the proxy form (GET http://menu.5ch.io/bbsmenu.html) are
// answered by their path too, so zubo reaches the sample menu through
// http_proxy=http://127.0.0.1:N. It takes posts too (POST /test/bbs.cgi),
// the documents it serves changing with them, until it stops.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <string>

#include "loopback_server.h"
#include "sample_board.h"
#include "sample_posts.h"

namespace {

// The port asked for with --port N or --port=N; 0 for any free one, -1 for
// a bad command line.
int requested_port(int argc, char** argv) {
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        const char* value = nullptr;
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            value = argv[++i];
        } else if (std::strncmp(argv[i], "--port=", 7) == 0) {
            value = argv[i] + 7;
        } else {
            return -1;
        }
        char* end = nullptr;
        long n = std::strtol(value, &end, 10);
        if (*end != '\0' || n < 0 || n > 65535) return -1;
        port = static_cast<int>(n);
    }
    return port;
}

}  // namespace

int main(int argc, char** argv) {
    int port = requested_port(argc, argv);
    if (port < 0) {
        std::fprintf(stderr, "usage: %s [--port N]\n", argv[0]);
        return 2;
    }

    std::unique_ptr<zubo::LoopbackServer> server;
    std::unique_ptr<zubo::sample::Service> service;
    try {
        server = std::make_unique<zubo::LoopbackServer>(port);
        service = std::make_unique<zubo::sample::Service>(server->url(""));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sample service: %s\n", e.what());
        return 1;
    }
    service->serve_on(*server);

    std::printf("port %d\n", server->port());
    std::fflush(stdout);
    server->wait();
    return 0;
}
