#!/usr/bin/python3
"""Starts the window and reads its accessible tree over AT-SPI, as a screen reader does.

Usage: accessibility_tree.py PORONBO_EXECUTABLE
Run it in a D-Bus session that can start the AT-SPI bus (at-spi2-core), e.g.
    dbus-run-session -- tests/accessibility_tree.py build/poronbo
It starts a virtual X server of its own (Xvfb) on a free display. Prints each
control's role, name and description; fails when a control is missing, unnamed or of
another role.
"""
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

# (role, name) of every control; the table's cells and headers are not walked.
EXPECTED = [
    ("frame", "ポロンボ"),
    ("radio button", "同じ場所に作成"),
    ("radio button", "作成場所を指定する"),
    ("text", "作成場所"),
    ("push button", "参照"),
    ("label", "頭文字"),
    ("text", "頭文字"),
    ("check box", "ファイル名にサイズを付ける"),
    ("push button", "リストクリア"),
    ("push button", "作成"),
    ("table", "作成するダミーファイルの一覧"),
    ("label", "結果の件数"),
    ("panel", "ファイルのドロップ先"),
    ("label", "ファイルをドロップして下さい。"),
]
DESCRIBED = {"参照", "リストクリア", "作成", "ファイルのドロップ先"}


def find_window(deadline):
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == "poronbo" and app.childCount > 0:
                window = app.getChildAtIndex(0)
                if window is not None and window.childCount > 0:
                    return window
        time.sleep(0.2)
    return None


def walk(node, out):
    for child in node:
        if child is None:
            continue
        role = child.getRoleName()
        out.append((role, child.name, child.description))
        if role not in ("table", "scroll bar"):
            walk(child, out)


def start_x():
    """Starts Xvfb on a free display; returns the process and the display's name."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
                               "-screen", "0", "800x500x24"],
                              pass_fds=[write_end], stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as answer:
        number = answer.readline().strip()
    if not number:
        server.wait(10)
        sys.exit("Xvfb did not start")
    return server, ":" + number


def main():
    program = sys.argv[1]
    server, display = start_x()
    try:
        return read_tree(program, display)
    finally:
        server.terminate()
        server.wait(10)


def read_tree(program, display):
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
               DISPLAY=display, LANG="ja_JP.UTF-8", LANGUAGE="ja")
    env.pop("WAYLAND_DISPLAY", None)
    with tempfile.TemporaryDirectory() as home:
        env["HOME"] = home
        env["XDG_CONFIG_HOME"] = os.path.join(home, ".config")
        window_process = subprocess.Popen([program], env=env)
        try:
            window = find_window(time.monotonic() + 20)
            if window is None:
                print("the window did not appear on the AT-SPI bus", file=sys.stderr)
                return 1
            nodes = [(window.getRoleName(), window.name.split("  ")[0], window.description)]
            print(f"{window.getRoleName()}: {window.name}")
            walk(window, nodes)
        finally:
            window_process.terminate()
            window_process.wait(10)
    for role, name, description in nodes[1:]:
        print(f"  {role}: {name}" + (f" — {description}" if description else ""))
    failed = False
    for role, name in EXPECTED:
        found = [d for r, n, d in nodes if (r, n) == (role, name)]
        if not found:
            print(f"missing: {role} {name!r}", file=sys.stderr)
            failed = True
        elif name in DESCRIBED and not found[0]:
            print(f"no description: {role} {name!r}", file=sys.stderr)
            failed = True
    unnamed = [r for r, n, d in nodes if not n and r not in ("filler", "scroll bar")]
    if unnamed:
        print(f"unnamed: {unnamed}", file=sys.stderr)
        failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
