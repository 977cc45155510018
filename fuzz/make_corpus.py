#!/usr/bin/env python3
"""Rebuilds the seed corpora of the fuzz targets.

fuzz_receive: sessions with the simulated core (what it sends for EHLO, listings, playing with
TIME ticks, toggles, QUIT) cut into reads at random points, some with keys, mouse events, resizes
and redraws between the reads, in the operation format that fuzz_receive.cpp describes; and a few
hand-made streams for the framing limits.
fuzz_config: hand-made configuration files and command lines.

usage: fuzz/make_corpus.py <vesk-core-sim binary> [corpus dir, default fuzz/corpus]
"""
import hashlib
import os
import random
import re
import socket
import subprocess
import sys
import time

CUT = 1900

SESSIONS = {
    "hello": ["EHLO 2"],
    "browse": ["EHLO 0", "LOAD 0", "LOAD 1", "GO_PARENT", "LOAD 3", "GO_ROOT"],
    "play": ["EHLO 2", "LOAD 0", "LOAD 1", "NEXT", "wait", "PAUSE", "PAUSE", "FFWD", "RWND",
             "SEEK 100", "wait", "VOL+", "VOL-", "VOLS 30", "NEXT", "PREV", "STOP"],
    "toggles": ["EHLO 1", "TOGGLE SHUFFLE", "TOGGLE SHUFFLE", "TOGGLE REPEAT", "TOGGLE EQ",
                "TOGGLE FLANGER", "TOGGLE EARWAX", "TOGGLE CONTRAST", "TOGGLE REVERB",
                "TOGGLE OVERDRIVE", "TOGGLE KARAOKE", "SCROBBLER", "SCROBLOVE", "TOGGLE VIDS"],
    "big": ["EHLO 2", "LOAD 7", "LOAD 20", "wait", "NEXT", "LOAD 250"],
    "search": ["EHLO 2", "LOAD2 a", "MAKE_RECURSIVE_LIST", "SETFAV 1", "GO_ROOT", "LOADFAV 1",
               "LOADFAV 5", "LOAD2 "],
    "unusual": ["EHLO 1", "LOAD 6", "LOAD 0", "LOAD 1", "LOAD 2", "NEXT", "wait"],
    "consoles": ["EHLO 0", "LOAD 2", "LOAD 0", "LOAD 0", "NEXT", "NEXT", "wait"],
    "quit": ["EHLO 2", "LOAD 0", "LOAD 1", "NEXT", "wait", "QUIT"],
}


def capture(sim, commands):
    """What the simulated core sends for the commands, each sent alone as the client does."""
    proc = subprocess.Popen([sim, "--port", "0", "--quiet", "--tick-ms", "20", "--big", "300"],
                            stdout=subprocess.PIPE, text=True)
    try:
        port = int(re.search(r":(\d+)", proc.stdout.readline()).group(1))
        conn = socket.create_connection(("127.0.0.1", port))
        conn.settimeout(0.05)
        received = b""
        for command in commands:
            if command != "wait":
                conn.sendall(command.encode())
            end = time.time() + (0.25 if command == "wait" else 0.1)
            while time.time() < end:
                try:
                    chunk = conn.recv(65536)
                except socket.timeout:
                    continue
                if not chunk:
                    break
                received += chunk
        conn.close()
        return received
    finally:
        proc.terminate()
        proc.wait()


def read_op(data):
    n = len(data)
    if n <= 128:
        return bytes([n - 1]) + data
    return bytes([0x80 | ((n - 1) >> 8), (n - 1) & 0xFF]) + data


def reads(stream, rng, largest):
    out = b""
    at = 0
    while at < len(stream):
        n = min(rng.randint(1, largest), len(stream) - at, 4096)
        out += read_op(stream[at:at + n])
        at += n
    return out


def user_op(rng):
    kind = rng.randrange(7)
    if kind == 0:
        return bytes([0x90, rng.choice([12, 18, 13, 19, 11, 17, 16, 30, 31, 29, 9, 10, 20])])
    if kind == 1:
        return bytes([0x98, rng.choice([10, 13, 47, 65])])
    if kind == 2:
        return typed(rng.choice([b"j", b"k", b"\x1b[B", b"\x1b[6~", b"h", b"i", b"\x0c",
                                 b"ofoo\n"]))
    if kind == 3:
        return bytes([0xB0, rng.randrange(256), rng.randrange(256), rng.randrange(8)])
    if kind == 4:
        return bytes([0xC0 + rng.randrange(2), rng.randrange(256), rng.randrange(256)])
    if kind == 5:
        return bytes([0xD0 + rng.randrange(32), rng.randrange(256), rng.randrange(3)])
    return bytes([0xF0 + rng.choice([0, 5, 6]), rng.randrange(12)])


def mixed(stream, rng):
    out = b""
    at = 0
    while at < len(stream):
        n = min(rng.randint(1, 400), len(stream) - at)
        out += read_op(stream[at:at + n])
        at += n
        for _ in range(rng.randrange(3)):
            out += user_op(rng)
    return out


def run_op(byte, count):
    """One byte repeated count times, delivered as one write."""
    return bytes([0xF8, ord(byte), count & 0xFF, count >> 8])


def typed(keys):
    """Keys typed on the terminal, then one key read."""
    return bytes([0xA0 + len(keys) - 1]) + keys


def press(x, y, state=0):
    """A mouse event at (x, y) on the 24x80 start screen; state 0 presses button 1, 8 taps it."""
    return bytes([0xB0, x + 1, y + 1, state])


def handmade_streams():
    listing = b"LIST_START=30\n" + b"".join(b"NAME[%d]=%d,entry %d\n" % (i, i % 3 - 1, i)
                                            for i in range(1, 31)) + b"LIST_END\nCUR=4\n"
    return {
        "mouse_bars": read_op(listing[:120]) + read_op(listing[120:]) +
                      read_op(b"TTIME=200\nTIME=50\nVOL=40\n") +
                      press(60, 20) + press(70, 23) + press(78, 10) + press(10, 5) +
                      press(40, 7, 5) + press(40, 7, 6) + press(3, 3, 1) + press(75, 0) +
                      press(45, 22, 2) + press(76, 22, 8) + press(78, 1, 8),
        "prompt_edit": read_op(listing) + typed(b"oab\x7f\x7fcd") + typed(b"oxy\x1b") +
                       typed(b"o\n") + bytes([0x90, 20, 0xF6, 9]) + typed(b"o\x1b["),
        "carry_4091": read_op(b"CURNAME=") + run_op("a", 2000) + run_op("b", 2083) +
                      read_op(b"\n"),
        "carry_4092": read_op(b"TITLE=") + run_op("c", 4086) + read_op(b"\nTIME=3\n"),
        "long_line": read_op(b"D=") + run_op("x", 8000) + read_op(b"\nSTATE=3\n"),
        "corequit_mid_list": read_op(b"LIST_START=3\nNAME[1]=-1,a\nCOREQUIT=bye\nNAME[2]=1,b\n"
                                     b"LIST_END\n") + bytes([0xD0, 0, 0]) +
                             read_op(b"LIST_END\nCUR=7\n"),
        "hangup": read_op(b"LIST_START=2\nNAME[1]=3,f,g\nNAM") + bytes([0xF4]) +
                  bytes([0x90, 16]) + read_op(b"E[2]=-5,d\nLIST_END\r\n"),
        "screens_while_loading": read_op(b"LIST_START=9\nNAME[1]=-1,x\nNAME[2]=22,y\n") +
                                 bytes([0xD5, 0, 0, 0xD6, 0, 0, 0xC0, 0, 0]) +
                                 read_op(b"CUR=-3\nLIST_END\nCUR=99999\n") +
                                 bytes([0xD6, 0, 0, 0xB0, 5, 3, 0]),
        "numbers": read_op(b"TIME=2147483648\nTTIME=-99\nBITRATE=-1\nBITRATE=65536\n"
                           b"FREQ=x\nVOL=250\nVOL=-7\nCONF=EFFECTS 255\nEQ=1 0.5\n"
                           b"CONF=EQ\nSTATE=4\nSTATE=99\nSHUFFLE=2\nREPEAT=3\n=5\nTIME\n"),
    }


def config_seeds():
    default = (b"# saved by vesk-remote-ncurses-0.1, unknown fields/comments will be lost\n\n"
               b"debug=0\nlineart=0\nfullpath=2\nremote_host=127.0.0.1\nremote_port=44322\n"
               b"\nk_quit=q\nk_stop=s\nk_vol+==\nk_vol-=-\nk_mdown=DOWN\nk_mup=UP\n"
               b"k_mpgdn=PGDOWN\nk_gofav0=0\nk_setfav0=)\n")
    return {
        "default": default,
        "empty": b"",
        "no_file": b"-D\x009\x00\x00",
        "crlf": b"k_quit=x\r\nremote_host=example.org\r\nremote_port=7\r\n",
        "blanks": b"k_quit = q\n k_stop=s\nk_pause=SPACEBAR12\nremote_host=\n# k_next=n\n",
        "alias": b"k_gorootmenu=g\nk_go_shortcuts=G\nk_gorootmenu\nfullpath=-4\n"
                 b"timeremaining_mode=1\nlineart=2",
        "long_key": b"k" * 30 + b"=1\n" + b"k" * 31 + b"=2\nremote_port=99999999999\n",
        "long_line": b"remote_host=" + b"h" * 4300 + b"\nk_quit=q\n",
        "options": b"-H\x00core.local\x00-P\x00abc\x00-l\x001\x00-t\x001\x00path\x00\x00" + default,
        "option_values": b"-H\x00-P\x00-D\x00-h\x00-P\x00\x00k_help=h\n",
        "option_last": b"-P\x00\x00remote_port=5\n",
    }


def write(directory, name, data):
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


def main():
    sim = sys.argv[1]
    corpus = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__),
                                                                  "corpus")
    receive = os.path.join(corpus, "fuzz_receive")
    for name, commands in SESSIONS.items():
        stream = capture(sim, commands)
        seed = int(hashlib.sha1(name.encode()).hexdigest()[:8], 16)
        rng = random.Random(seed)
        header = bytes([rng.randrange(256) & ~0x03])
        # The fuzzer takes inputs up to 2 KiB: a long session gives its start and its end.
        head = stream[:CUT]
        write(receive, name + "_reads", header + reads(head, rng, 300))
        write(receive, name + "_small_reads", bytes([0x80]) + reads(head[:800], rng, 9))
        write(receive, name + "_mixed", header + mixed(head[:1500], rng))
        if len(stream) > CUT:
            tail = stream[-CUT:]
            tail = tail[tail.index(b"\n") + 1:]
            write(receive, name + "_end", header + reads(tail, rng, 300))
    for name, data in handmade_streams().items():
        write(receive, name, bytes([0x00]) + data)
    for name, data in config_seeds().items():
        write(os.path.join(corpus, "fuzz_config"), name, data)


if __name__ == "__main__":
    main()
