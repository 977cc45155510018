#include "app/loop.h"

#include <cerrno>
#include <cstring>
#include <sys/select.h>
#include <unistd.h>

#include "base/log.h"
#include "config/conf_file.h"
#include "conf.h"
#include "event/events.h"
#include "input/dispatch.h"
#include "input/keys.h"
#include "link/conn.h"
#include "list/entry_list.h"
#include "screen/panel.h"
#include "screen/terminal_type.h"
#include "screen/window.h"

int run_client(int argc, char **argv)
{
    conf.debug = 0;
    conf.argc = argc;
    conf.argv = argv;
    load_conf_rcn();
    dlog_init();
    if (!terminal_type_usable())
        return 1;
    window_init();
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

// Bounds a loop that spins on a descriptor that stays readable.
constexpr useconds_t loop_pause_us = 10000;

static void pause_pass()
{
    if (conf.loop_pause != nullptr)
        conf.loop_pause();
    else
        usleep(loop_pause_us);
}

static void trace_append(char *trace, size_t size, const char *text)
{
    size_t used = strlen(trace);
    snprintf(trace + used, size - used, "%s", text);
}

void check_input()
{
    bool traced = conf.debug > 9;
    // A pass that got bytes from the core is not spinning: the next one waits at once, and so
    // does the first.
    if (conf.pause_due)
        pause_pass();
    conf.pause_due = 1;
    // Signals are acted on inside the wait, between draws.
    input_wait ready = wait_for_input(watched_socket(), nullptr);
    conf.frame++;
    if (ready.hung_up)
        return;
    if (ready.rc < 0) {
        dlog(8, "check_input: rc<0, %s", strerror(errno));
        return;
    }

    char trace[128] = "";
    if (traced) {
        char shown[64];
        snprintf(shown, sizeof shown, "rc==%d, fd_setsize=%d", ready.rc, FD_SETSIZE);
        draw_message(conf.debug, shown);
        snprintf(trace, sizeof trace, "check_input: rc==%d, frame:%d ", ready.rc, conf.frame);
    }
    if (ready.terminal) {
        check_key(c_get_key());
        if (traced)
            trace_append(trace, sizeof trace, "[STDIN]");
    }
    // The key may have ended the connection.
    if (ready.socket && conf.link.sock >= 0) {
        if (handle_data(conf.link.sock))
            conf.pause_due = 0;
        if (traced)
            trace_append(trace, sizeof trace, "[S]");
    }
    // Once per pass, however many tag lines came in it.
    follow_now_playing();
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
