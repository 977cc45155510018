// The fixture of the key and click tests: the client on an 80x24 test screen with the default
// bindings, connected to a loopback peer.
#pragma once

#include "client_fixtures.h"
#include "config/key_table.h"

class BoundKeysTest : public ScreenPeerTest {
protected:
    void SetUp() override
    {
        ScreenPeerTest::SetUp();
        clear_bindings();
        bind_default_keys();
        fill_display_names();
    }

    // A list of entries with the cursor on pos and entry top on the first row.
    static void give_list(int entries, int pos, int top = 0)
    {
        conf.list.dmt = entries;
        conf.list.pos = pos;
        conf.list.top = top;
    }
};
