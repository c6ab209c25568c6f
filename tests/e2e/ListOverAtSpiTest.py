"""The member list of the real program, read through the accessibility bus as a screen reader
reads it: the whole list, a member rewritten in place and a member deleted, rows far below the
window's edge included. Run inside tests/support/on-private-a11y-bus and on-private-x-server;
arguments: the client program and the demo server."""

import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

import pyatspi

CLIENT, SERVER = sys.argv[1], sys.argv[2]
MEMBERS = 400
# Polls wait for the program in steps; this many steps is far more than it ever needs.
STEPS = 1200


def end_with_test():
    # The programs go with the test, however it ends.
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def fail(message):
    print("FAIL:", message, file=sys.stderr)
    sys.exit(1)


def wait_for(what, probe):
    print("waiting for", what, file=sys.stderr, flush=True)
    for _ in range(STEPS):
        try:
            result = probe()
        except Exception:  # the bus answers before the program has the object
            result = None
        if result:
            return result
        time.sleep(0.05)
    fail("gave up waiting for " + what)


class Administrator:
    """A second administrator on a raw connection: it reads what the server holds and asks
    for the changes the program is to show."""

    def __init__(self, port):
        # A server that stops answering fails the test rather than hanging it.
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=120)
        self.pending = b""
        self.expect("send login:")
        self.send("admin")
        self.expect("send password:")
        self.send("admin")
        self.expect(":)")

    def send(self, line):
        self.sock.sendall(line.encode() + b"\r\n")

    def lines(self):
        while True:
            while b"\r\n" in self.pending:
                line, self.pending = self.pending.split(b"\r\n", 1)
                yield line.decode("latin-1")
            chunk = self.sock.recv(65536)
            if not chunk:
                fail("the server closed the administrator's connection")
            self.pending += chunk

    def expect(self, wanted, whole=True):
        for line in self.lines():
            if line == wanted or (not whole and line.startswith(wanted)):
                return line

    def member_list(self):
        self.expect("ARLS")
        members = {}
        for line in self.lines():
            if line == "ARLC":
                return members
            if line.startswith("ARLM:"):
                presence1, presence2, rest = line[5:].split(",", 2)
                login, rest = rest.split("=", 1)
                password, rest = rest.split(",", 1)
                protocols, bots = rest.split(";")[:2]
                members[login] = (bool(presence1 or presence2), password, protocols, bots)


def heard(login, online):
    return f"{login}, {'online' if online else 'offline'}"


def fresh(accessible):
    # libatspi keeps what it read of an object; a reader asks again.
    accessible.clear_cache()
    return accessible


def controls(root, role):
    """The objects of a role under root, without walking into tables, whose cells are many."""
    found = []
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        if node.getRole() == role:
            found.append(node)
        if node.getRole() != pyatspi.ROLE_TABLE:
            stack.extend(node[i] for i in range(node.childCount))
    return found


def named(root, role, name):
    return [node for node in controls(root, role) if node.name == name]


def login_column(table):
    return [fresh(table.getAccessibleAt(row, 0)).name for row in range(table.nRows)]


def main():
    work = tempfile.mkdtemp(prefix="krv-atspi-")
    server = subprocess.Popen([SERVER, "--port", "0", "--members", str(MEMBERS), "--seed", "29"],
                              stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True,
                              preexec_fn=end_with_test)
    client = None
    try:
        port = int(server.stdout.readline().strip().rsplit(":", 1)[1])
        admin = Administrator(port)
        members = admin.member_list()

        # The program keeps its settings beside itself when marked portable.
        program = os.path.join(work, "krvClientA")
        shutil.copy(CLIENT, program)
        open(program + ".portable", "w").close()
        with open(program + ".ini", "w") as ini:
            ini.write(f"[Client]\nHost=127.0.0.1\nPort={port}\nLogin=admin\nPassword=?admin\nReconnectOn=0\n")
        client = subprocess.Popen([program], stdin=subprocess.DEVNULL, env=dict(os.environ, HOME=work),
                                  preexec_fn=end_with_test)

        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("the program on the bus", lambda: next(
            (a for a in desktop if a is not None and a.get_process_id() == client.pid), None))
        frame = app[0]

        def focus_window():
            subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(client.pid), "--name", frame.name,
                            "windowfocus", "--sync"], check=True)

        # Pressed as a reader presses it: the button that stays down while connected reads as one
        # that can be pressed, and its action clicks it.
        connect = wait_for("the connect button", lambda: (named(app, pyatspi.ROLE_TOGGLE_BUTTON, "connect") +
                                                           named(app, pyatspi.ROLE_PUSH_BUTTON, "connect"))[0])
        focus_window()
        action = connect.queryAction()
        if action.getName(0) != "Press":
            fail(f"the connect button's first action is {action.getName(0)!r}")
        action.doAction(0)
        accept = wait_for("the connection dialog", lambda: named(app, pyatspi.ROLE_PUSH_BUTTON, "accept")[0])
        accept.queryAction().doAction(0)

        table_object = wait_for("the member list", lambda: named(app, pyatspi.ROLE_TABLE, "Members")[0])
        table = table_object.queryTable()
        wait_for("every member in the list", lambda: table.nRows == len(members))
        if table.nColumns != 3:
            fail(f"{table.nColumns} columns")
        headers = [table.getColumnDescription(column) for column in range(3)]
        header_cells = [fresh(table.getColumnHeader(column)).name for column in range(3)]
        if headers != header_cells or not all(headers):
            fail(f"column headers {headers} and header cells {header_cells}")

        # Every row as the eye reads it, the online mark as a word.
        logins = login_column(table)
        if sorted(logins) != sorted(heard(login, m[0]) for login, m in members.items()):
            fail("the login column does not read the server's members")
        last = table.getAccessibleAt(table.nRows - 1, 0)
        first = table.getAccessibleAt(0, 0)
        if last.getState().contains(pyatspi.STATE_SHOWING) or not first.getState().contains(pyatspi.STATE_SHOWING):
            fail("the first row should be in sight and the last far out of it")

        # The arrow keys move the focus, which a reader follows, from row to row.
        def focused_row():
            return next((row for row in range(5)
                         if fresh(table.getAccessibleAt(row, 0)).getState().contains(pyatspi.STATE_FOCUSED)), None)

        focus_window()
        table_object.queryComponent().grabFocus()
        wait_for("the list's focus", lambda: fresh(table_object).getState().contains(pyatspi.STATE_FOCUSED))
        subprocess.run(["xdotool", "key", "Down"], check=True)
        start = wait_for("a focused row", lambda: (focused_row(),) if focused_row() is not None else None)[0]
        subprocess.run(["xdotool", "key", "Down"], check=True)
        wait_for("the focus a row further down", lambda: focused_row() == start + 1)
        if list(table.getSelectedRows()) != [start + 1]:
            fail(f"selected rows {list(table.getSelectedRows())} with the focus on row {start + 1}")

        def login_of(row):
            return logins[row].rsplit(", ", 1)[0]

        # A member far below the window's edge rewritten in place: its cells read the new text.
        row = table.nRows - 5
        login = login_of(row)
        online, password, protocols, _ = members[login]
        admin.send(f"ADE_{login}:{password},{protocols};readerbot;")
        admin.expect("ARM:", whole=False)
        wait_for("the rewritten member's bots",
                 lambda: fresh(table.getAccessibleAt(row, 2)).name == "readerbot")
        if fresh(table.getAccessibleAt(row, 0)).name != heard(login, online):
            fail("the rewritten member's row moved or changed its login")

        # A member deleted: the rows below move up and none reads the gone member.
        row = table.nRows - 3
        gone, below = login_of(row), logins[row + 1]
        admin.send(f"ADD_{gone}:")
        admin.expect(f"ARD_{gone}", whole=False)
        wait_for("the deleted member's row to go", lambda: table.nRows == len(members) - 1)
        if fresh(table.getAccessibleAt(row, 0)).name != below:
            fail("the row below the deleted member did not move up")
        after = login_column(table)
        if any(name.rsplit(", ", 1)[0] == gone for name in after) or len(after) != len(members) - 1:
            fail("the deleted member is still read")
        print(f"read {len(logins)} rows; row {row} now reads {below!r}")
    finally:
        for process in (client, server):
            if process is not None:
                process.terminate()
                process.wait()
        shutil.rmtree(work, ignore_errors=True)


main()
