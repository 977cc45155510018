#include "app/loop.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/select.h>
#include <unistd.h>

#include "app/dlog.h"
#include "config/conf_file.h"
#include "conf.h"
#include "input/dispatch.h"
#include "input/keys.h"
#include "link/conn.h"
#include "list/entry_list.h"
#include "screen/window.h"

static void install_signal_handlers()
{
    signal(SIGSEGV, sighandler);
    signal(SIGINT, sighandler);
    signal(SIGTERM, sighandler);
    signal(SIGPIPE, sigpipe_handler);
}

int run_client(int argc, char **argv)
{
    conf.debug = 0;
    conf.argc = argc;
    conf.argv = argv;
    load_conf_rcn();
    dlog_init();
    window_init();
    install_signal_handlers();
    connectto();
    while (conf.quit == 0)
        check_input();
    // Saved before the screen goes, told after: the full-screen view would wipe the message.
    bool saved = save_conf();
    cleanup();
    if (!saved)
        print_save_failure();
    return 0;
}

static void trace_append(char *trace, size_t size, const char *text)
{
    size_t used = strlen(trace);
    snprintf(trace + used, size - used, "%s", text);
}

void check_input()
{
    bool traced = conf.debug > 9;
    usleep(10000);
    // A resize only leaves a flag behind; it is acted on here, between draws.
    resize_if_pending();

    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(0, &ready);
    int sock = conf.link.sock;
    if (sock >= 0 && sock < FD_SETSIZE)
        FD_SET(sock, &ready);
    int rc = select(FD_SETSIZE, &ready, nullptr, nullptr, nullptr);
    conf.frame++;
    if (rc < 0) {
        dlog(8, "check_input: rc<0, %s", strerror(errno));
        return;
    }

    char trace[128] = "";
    if (traced) {
        char shown[64];
        snprintf(shown, sizeof shown, "rc==%d, fd_setsize=%d", rc, FD_SETSIZE);
        draw_message(conf.debug, shown);
        snprintf(trace, sizeof trace, "check_input: rc==%d, frame:%d ", rc, conf.frame);
    }
    if (FD_ISSET(0, &ready)) {
        check_key(c_get_key());
        if (traced)
            trace_append(trace, sizeof trace, "[STDIN]");
    }
    sock = conf.link.sock;
    if (sock >= 0 && sock < FD_SETSIZE && FD_ISSET(sock, &ready)) {
        handle_data(sock);
        if (traced)
            trace_append(trace, sizeof trace, "[S]");
    }
    if (traced) {
        trace_append(trace, sizeof trace, "[..DONE]");
        dlog(conf.debug, "%s", trace);
    }
}

void cleanup()
{
    free_list();
    window_restore();
}

static const char *signal_label(int sig)
{
    switch (sig) {
    case SIGSEGV: return " (SIGSEGV)";
    case SIGINT: return " (SIGINT)";
    case SIGTERM: return " (SIGTERM)";
    default: return "";
    }
}

void sighandler(int sig)
{
    cleanup();
    printf("\n");
    signal(sig, SIG_DFL);
    printf("Caught signal: %d%s\n", sig, signal_label(sig));
    exit(-1);
}

void sigpipe_handler(int) {}
