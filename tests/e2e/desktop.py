"""A private desktop (Xvfb, openbox and a tray: trayer, or xfce4-panel on a session bus of its
own) for the Release program in $KELVARN_RELEASE or the first argument; output and screenshots
to $KELVARN_BUILD/e2e (and $KELVARN_SCREENSHOTS)."""
import atexit, json, os, shutil, sqlite3, subprocess, sys, tempfile, time
from Xlib import X, XK, display, error, protocol
from Xlib.ext import xtest

RELEASE = os.path.abspath(os.environ.get("KELVARN_RELEASE") or sys.argv[1])
ARTIFACTS = os.path.join(os.environ.get("KELVARN_BUILD") or RELEASE, "e2e")
TMP = tempfile.mkdtemp(prefix="kelvarn-e2e.")
os.makedirs(ARTIFACTS, exist_ok=True)
results, children, keycodes = [0, 0], [], {}
# Nothing of the caller's desktop reaches the program; opened pages are recorded.
for name in ("DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "WAYLAND_DISPLAY", "QT_IM_MODULE",
             "XMODIFIERS", "QT_FONT_DPI", "QT_SCALE_FACTOR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"):
    os.environ.pop(name, None)
os.environ.update(QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8", HOME=f"{TMP}/home", NO_AT_BRIDGE="1",
                  XDG_RUNTIME_DIR=f"{TMP}/run", PATH=f"{TMP}/bin:{os.environ['PATH']}",
                  BROWSER=f"{TMP}/bin/xdg-open")
for folder in ("home", "run", "bin"):
    os.makedirs(f"{TMP}/{folder}", mode=0o700)
with open(f"{TMP}/bin/xdg-open", "w") as recorder:
    recorder.write(f'#!/bin/sh\nprintf "%s\\n" "$1" >>"{TMP}/pages"\n')
os.chmod(f"{TMP}/bin/xdg-open", 0o755)


def check(what, ok, why=""):
    results[not ok] += 1
    print(("ok:   " if ok else "FAIL: ") + what + ("" if ok or why == "" else f"\n  {why}"))
    return ok


def finish():
    print(f"{results[0]} passed, {results[1]} failed")
    sys.exit(results[1] > 0)


def wait(fn, seconds=30):  # fn's first true result, or None (a vanished window counts as no)
    end = time.monotonic() + seconds
    while True:
        try:
            value = fn()
        except error.XError:
            value = None
        if value or time.monotonic() > end:
            return value
        time.sleep(0.05)


NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"]


def spawn(*args, nobody=False, **kw):  # a child that ends with the test, even one killed outright
    children.append(subprocess.Popen([*(NOBODY if nobody else []), "setpriv", "--pdeathsig",
                                      "TERM", "--", *args], **kw))  # set after the user changed
    return children[-1]


def end(child, seconds=10):
    child.terminate()
    try:
        return child.wait(seconds)
    except subprocess.TimeoutExpired:
        child.kill()
        return child.wait()


@atexit.register
def _cleanup():
    for child in reversed(children):
        end(child)
    shutil.rmtree(TMP, ignore_errors=True)


def start(*program, log, **kw):  # the program in the background, its output kept
    return spawn(*program, stdout=open(f"{ARTIFACTS}/{log}.log", "w"), stderr=subprocess.STDOUT, **kw)


def exits(child, seconds=30):
    try:
        return child.wait(seconds)
    except subprocess.TimeoutExpired:
        return "still running"


def sql(store, statement):  # each call on a connection of its own, closed when it is done
    return sqlite3.connect(store, timeout=10).execute(statement).fetchall()


def in_memory(pid, *needles):  # which of the needles lie in the process's own memory (root reads it)
    found = set()
    with open(f"/proc/{pid}/maps") as maps, open(f"/proc/{pid}/mem", "rb", 0) as mem:
        for line in maps:
            span, perms, *rest = line.split()
            if perms[0] != "r" or (len(rest) > 3 and not rest[3].startswith(("[heap]", "[stack]", "[anon"))):
                continue  # files mapped: the program's and the libraries' own bytes
            start, end = (int(x, 16) for x in span.split("-"))
            try:
                mem.seek(start)
                data = mem.read(end - start)
            except (OSError, ValueError, OverflowError):
                continue
            found.update(n for n in needles if n in data)
    return [n for n in needles if n in found]


def pages():
    return open(f"{TMP}/pages").read() if os.path.exists(f"{TMP}/pages") else ""


PANEL = """<channel name="xfce4-panel" version="1.0"><property name="panels" type="array">
<value type="int" value="1"/><property name="panel-1" type="empty"><property name="position"
type="string" value="p=6;x=0;y=0"/><property name="length" type="uint" value="100"/><property
name="size" type="uint" value="26"/><property name="icon-size" type="uint" value="16"/><property
name="plugin-ids" type="array"><value type="int" value="1"/></property></property></property>
<property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/>
</property></channel>"""  # one panel at the top with only its tray
WATCHER = ("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher")


def session_bus(env, nobody=False):  # a private one, with xfce4-panel's settings for xfconfd
    folder = f"{env['XDG_CONFIG_HOME']}/xfce4/xfconf/xfce-perchannel-xml"
    os.makedirs(folder)
    open(f"{folder}/xfce4-panel.xml", "w").write(PANEL)
    read, write = os.pipe()
    spawn("dbus-daemon", "--session", "--nofork", f"--print-address={write}", env=env,
          pass_fds=[write], nobody=nobody, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    env["DBUS_SESSION_BUS_ADDRESS"] = os.read(read, 4096).decode().strip()


def bus(env, *args, nobody=False):  # what busctl --user answers, or None
    run = subprocess.run([*(NOBODY if nobody else []), "busctl", "--user", "--json=short", *args],
                         env=env, capture_output=True, text=True)
    return json.loads(run.stdout)["data"] if run.returncode == 0 and run.stdout else None


def items(env, nobody=False):  # the StatusNotifierItems registered with the panel
    return bus(env, "get-property", *WATCHER, "RegisteredStatusNotifierItems", nobody=nobody)


def panel(env, nobody=False, program=("xfce4-panel",)):  # a StatusNotifierItem host: xfce4-panel
    for _ in range(3):  # (it takes XEmbed icons too) or waybar; now and then one fails to come up
        child = spawn(*program, env=env, nobody=nobody, stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL)
        if wait(lambda: bus(env, "get-property", *WATCHER, "IsStatusNotifierHostRegistered",
                            nobody=nobody), 30):
            return child
        end(child)


class Desktop:  # Xvfb, a notification area at the top (trayer or xfce4-panel) and openbox

    def __init__(self, xfce=False):
        read, write = os.pipe()
        spawn("Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
              pass_fds=[write], stderr=subprocess.DEVNULL)
        os.close(write)
        os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
        self.d = wait(display.Display)
        self.root = self.d.screen().root
        if xfce:
            os.environ["XDG_CONFIG_HOME"] = f"{TMP}/config"
            session_bus(os.environ)
            self.tray = panel(os.environ)
        # On a busy machine a tray host now and then never maps: start another.
        for _ in range(0 if xfce else 3):
            self.tray = spawn("trayer", "--edge", "top", "--align", "right", "--widthtype",
                                "pixel", "--width", "200", "--heighttype", "pixel", "--height",
                                "32", "--SetDockType", "true", stderr=subprocess.DEVNULL)
            if wait(lambda: self.windows(self.tray.pid), 20):
                break
            end(self.tray)
        spawn("openbox", "--sm-disable", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait(lambda: self.prop(self.root, "_NET_SUPPORTING_WM_CHECK"))

    def prop(self, window, name):
        value = window.get_full_property(self.d.intern_atom(name), X.AnyPropertyType)
        return value and value.value

    def windows(self, pid, docked=False):  # pid's mapped top-level windows, or tray icons
        found = []

        def walk(window, in_tray):
            for child in window.query_tree().children:
                try:
                    owner = (self.prop(child, "_NET_WM_PID") or [None])[0]
                    if owner == pid and self.mapped(child) and in_tray == docked:
                        found.append(child)
                    walk(child, in_tray or owner == self.tray.pid)
                except error.BadWindow:  # gone meanwhile
                    pass

        walk(self.root, False)
        return found

    def title(self, window):
        return (self.prop(window, "_NET_WM_NAME") or b"").decode()

    def titled(self, pid, title):  # pid's first window of that title (a tray's may come first)
        return next((w for w in self.windows(pid) if self.title(w) == title), None)

    def mapped(self, window):
        return window.get_attributes().map_state == X.IsViewable

    def topmost(self, window):
        return self.d.intern_atom("_NET_WM_STATE_ABOVE") in (self.prop(window, "_NET_WM_STATE") or [])

    def place(self, window):  # the client area's top left corner on the screen
        at = self.root.translate_coords(window, 0, 0)
        return at.x, at.y

    def move(self, window, x, y):  # as the user drags it: through the window manager
        moveresize = self.d.intern_atom("_NET_MOVERESIZE_WINDOW")
        message = protocol.event.ClientMessage(window=window, client_type=moveresize,
                                               data=(32, [10 | 3 << 8, x, y, 0, 0]))  # static
        self.root.send_event(message, X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        return wait(lambda: self.place(window) == (x, y))

    def activate(self, window):  # gives the window the keyboard, through the window manager
        active = self.d.intern_atom("_NET_ACTIVE_WINDOW")
        message = protocol.event.ClientMessage(window=window, client_type=active,
                                               data=(32, [2, X.CurrentTime, 0, 0, 0]))
        self.root.send_event(message, X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        return wait(lambda: self.prop(self.root, "_NET_ACTIVE_WINDOW")[0] == window.id, 20)

    def map_keys(self, text):
        # Every character gets a key of its own (a spare multimedia key) for type(), before
        # the program starts: Qt reads a changed map late and may drop characters.
        low = self.d.display.info.min_keycode
        mapping = self.d.get_keyboard_mapping(low, self.d.display.info.max_keycode - low + 1)
        spare = [low + i for i, syms in enumerate(mapping)
                 if all(s == 0 or 0x1008FF00 <= s <= 0x1008FFFF for s in syms)]
        for char in sorted(set(text.lower()) - set(keycodes) - {"\n"}):
            keycodes[char] = spare.pop(0)
            keysym = ord(char) if ord(char) < 0x100 else 0x01000000 + ord(char)
            self.d.change_keyboard_mapping(keycodes[char], [(keysym,)])
        self.d.sync()

    def press(self, *codes):
        for kind, order in ((X.KeyPress, codes), (X.KeyRelease, reversed(codes))):
            for code in order:
                xtest.fake_input(self.d, kind, code)
        self.d.sync()
        time.sleep(0.02)

    def key(self, window, *names):  # key(box, "Return"), key(box, "ctrl+a", "BackSpace")
        aliases = {"ctrl": "Control_L", "alt": "Alt_L"}
        if not self.activate(window):
            return False
        for name in names:
            self.press(*(self.d.keysym_to_keycode(XK.string_to_keysym(aliases.get(k, k)))
                         for k in name.split("+")))
        return True

    def type(self, window, text):  # a key of one letter gives the small one: Shift for capitals
        shift, enter = (self.d.keysym_to_keycode(k) for k in (XK.XK_Shift_L, XK.XK_Return))
        if not self.activate(window):
            return False
        for char in text:
            code = enter if char == "\n" else keycodes[char.lower()]
            self.press(*([shift, code] if char != char.lower() else [code]))
        return True

    def click(self, window, x, y, clicks=1):  # at client coordinates
        at = self.root.translate_coords(window, x, y)
        xtest.fake_input(self.d, X.MotionNotify, x=at.x, y=at.y)
        wait(lambda: (lambda p: (p.root_x, p.root_y))(self.root.query_pointer()) == (at.x, at.y))
        for _ in range(clicks):
            xtest.fake_input(self.d, X.ButtonPress, 1)
            xtest.fake_input(self.d, X.ButtonRelease, 1)
            self.d.sync()
            time.sleep(0.08)
        return True

    def highlight(self, window, x):
        # (top, bottom) of the first run of selection colour (blue well above red) in column x
        height = window.get_geometry().height
        pixels = window.get_image(x, 0, 1, height, X.ZPixmap, 0xFFFFFFFF).data  # BGRX
        rows = [y for y in range(height) if pixels[4 * y] - pixels[4 * y + 2] >= 100]
        run = [y for i, y in enumerate(rows) if y == rows[0] + i]
        return (run[0], run[-1]) if run else None

    def screenshot(self, name, window):
        path = f"{ARTIFACTS}/{name}.png"
        subprocess.run(["import", "-frame", "-window", str(window.id), path], check=True)
        if os.environ.get("KELVARN_SCREENSHOTS"):
            shutil.copy(path, os.environ["KELVARN_SCREENSHOTS"])
