#include "config/conf_file.h"
#include "app/util.h"
#include "conf.h"
// stand-in until the configuration file is built: built-in settings only
int load_conf_rcn()
{
    zt_strncpy(conf.remote_host, "127.0.0.1", 255);
    conf.remote_port = 44322;
    conf.fullpath = 2;
    conf.link.sock = -1;
    return 0;
}
void save_conf() {}
void print_usage(const char *, const char *) {}
