#include "app/loop.h"

int main(int argc, char **argv)
{
    return run_client(argc, argv);
}
