"""Kelvarn on today's desktops: Xfce's panel, a StatusNotifierItem host, under X; and a Wayland
session (headless sway with Xwayland, run as nobody since sway refuses root), where the
notification area may start late."""
import json, os, shutil, subprocess, sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (ARTIFACTS, NOBODY, RELEASE, TMP, X, Desktop, bus, check, end, finish, items,
                     panel, session_bus, spawn, start, wait)

CAPTION, HIDE, PLACE = "KelvarnV15.1.4", (195, 285), (190, 145)


def install(folder):  # the program beside an empty store of its own
    os.makedirs(folder)
    shutil.copy(f"{RELEASE}/kelvarn", folder)
    subprocess.run([f"{RELEASE}/kelvarn-store", "init", f"{folder}/zuld.mdb"], check=True,
                   capture_output=True)
    return f"{folder}/kelvarn"


desk = Desktop(xfce=True)
check("xfce4-panel hosts StatusNotifierItems on a session bus of its own", desk.tray) or finish()
program = install(f"{TMP}/xfce")


def icon():  # the middle of the blue pixels on the grey panel: the program's icon
    strip = desk.root.get_image(0, 0, 1280, 26, X.ZPixmap, 0xFFFFFFFF).data  # BGRX
    blue = [i // 4 for i in range(0, len(strip), 4) if strip[i] - strip[i + 2] >= 100]
    return blue and (sum(i % 1280 for i in blue) // len(blue), sum(i // 1280 for i in blue) // len(blue))


def hide(what):
    desk.click(main, *HIDE)
    return check(what, wait(lambda: not desk.mapped(main)))


back = lambda: desk.mapped(main) and desk.place(main) == PLACE  # noqa: E731
minimised = desk.d.intern_atom("_NET_WM_STATE_HIDDEN")
for late in (False, True):  # the panel there first, then one starting after it (a login's race)
    log = "xfce-late" if late else "xfce"
    kelvarn = start(program, log=log)
    main = wait(lambda: next((w for w in desk.windows(kelvarn.pid) if desk.title(w) == CAPTION), None))
    if late:
        print("xfce4-panel started after Kelvarn:")
        desk.tray = panel(os.environ)
    item = (wait(lambda: items(os.environ)) or ["-/-"])[0].split("/", 1)
    sni = lambda how, *args: bus(os.environ, how, item[0], "/" + item[1],  # noqa: E731
                                 "org.kde.StatusNotifierItem", *args)
    check(f"the main window maps; its icon registers with the panel: Kelvarn, tip {CAPTION}",
          main and [sni("get-property", "Title"), (sni("get-property", "ToolTip") or [0] * 3)[2]]
          == ["Kelvarn", CAPTION]) or finish()
    at = wait(lambda: (lambda first: first == icon() and first)(icon()))  # drawn in full
    check("the icon shows in the panel", at) or finish()
    check(f"the main window is moved to {PLACE}", desk.move(main, *PLACE))
    hide("隐藏到托盘 hides it")
    # A right click shows the panel's own menu; what it would ask of the icon does nothing.
    sni("call", "ContextMenu", "ii", "0", "0")
    check("the icon's context request leaves it hidden", not wait(lambda: desk.mapped(main), 2))
    desk.click(desk.root, *at)
    check("a left click brings it back where it was, on top and active",
          wait(back) and desk.topmost(main) and wait(
              lambda: desk.prop(desk.root, "_NET_ACTIVE_WINDOW")[0] == main.id))
    hide("hidden again")
    end(desk.tray)
    check("the panel goes away: the window comes back where it was", wait(back))
    desk.click(main, *HIDE)
    check("隐藏到托盘 without a panel minimises it",
          wait(lambda: minimised in (desk.prop(main, "_NET_WM_STATE") or [])))
    check("the task bar's restore brings it back where it was", desk.activate(main) and wait(back))
    check("nothing on stderr", not open(f"{ARTIFACTS}/{log}.log").read())
    end(kelvarn)

# Wayland: a session as nobody, with its own bus, home and runtime folder.
home = f"{TMP}/nobody"
os.chmod(TMP, 0o711)
os.makedirs(f"{home}/run", mode=0o700)
wayland = install(f"{home}/app")
env = {"PATH": os.environ["PATH"], "HOME": home, "XDG_RUNTIME_DIR": f"{home}/run",
       "XDG_CONFIG_HOME": f"{home}/config", "LC_ALL": "C.UTF-8", "NO_AT_BRIDGE": "1"}
os.makedirs(f"{env['XDG_CONFIG_HOME']}/waybar")
open(f"{home}/sway", "w").write("xwayland enable\noutput HEADLESS-1 resolution 1280x800\n"
                                'exec env > "$XDG_RUNTIME_DIR/session.env"\n')
open(f"{home}/config/waybar/config", "w").write('{"modules-right": ["tray"]}')
subprocess.run(["chown", "-R", "65534:65534", home], check=True)
session_bus(env, nobody=True)
shown = lambda: {k: v for k, v in (line.split("=", 1) for line in  # noqa: E731
                                    open(f"{home}/run/session.env").read().splitlines())}
swaymsg = lambda *args: subprocess.run(  # noqa: E731
    [*NOBODY, "swaymsg", "-r", *args], env={**env, **shown()}, capture_output=True, text=True)
for _ in range(3):  # like the trays, it now and then fails to come up on a busy machine
    sway = spawn("sway", "-c", f"{home}/sway", env={**env, "WLR_BACKENDS": "headless",
                 "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman"}, nobody=True,
                 stdout=open(f"{ARTIFACTS}/sway.log", "w"), stderr=subprocess.STDOUT)
    if wait(lambda: os.path.exists(f"{home}/run/session.env") and
            swaymsg("-t", "get_version").returncode == 0, 30):
        break
    end(sway)
session = shown()
check("sway runs headless with Xwayland", {"DISPLAY", "WAYLAND_DISPLAY"} <= set(session)) or finish()


def windows():  # sway's windows: (title, shell, app_id)
    found, nodes = [], [json.loads(swaymsg("-t", "get_tree").stdout or "{}")]
    while nodes:
        node = nodes.pop()
        nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        if node.get("shell"):
            found.append((node["name"], node["shell"], node.get("app_id")))
    return found


for name, variables, shell, late in (  # each with a panel that starts after it
        ("xwayland", ("DISPLAY", "WAYLAND_DISPLAY"), "xwayland", ("wayland", "waybar")),
        ("wayland", ("WAYLAND_DISPLAY",), "xdg_shell", ("x11", "xfce4-panel"))):
    log = open(f"{ARTIFACTS}/{name}.log", "w")
    child = spawn(wayland, env={**env, **{v: session[v] for v in variables}}, nobody=True,
                  stdout=log, stderr=log)
    check(f"with {' and '.join(variables)} set it opens through {shell}",
          wait(lambda: (CAPTION, shell) in [w[:2] for w in windows()]), windows())
    host = panel({**env, **session, "GDK_BACKEND": late[0]}, True, late[1:])
    check(f"{late[1]}, started later, gets its icon", host and wait(lambda: items(env, True)))
    host and end(host)
    check("  nothing on stderr", not open(f"{ARTIFACTS}/{name}.log").read())
    end(child)

# Qt's platform plugins hidden from the program alone, in a mount namespace of its own.
plugins = subprocess.run(["qtpaths6", "--plugin-dir"], capture_output=True, text=True).stdout
lonely = subprocess.run(["unshare", "-m", "sh", "-c", 'mount --bind "$0" "$1" && shift && exec "$@"',
                         f"{home}/run", plugins.strip() + "/platforms", *NOBODY, wayland],
                        env={**env, "WAYLAND_DISPLAY": session["WAYLAND_DISPLAY"]},
                        capture_output=True, text=True, timeout=60)
check("Wayland alone without Qt's Wayland support: one line saying so, exit code 2",
      (lonely.returncode, lonely.stdout + lonely.stderr) == (
          2, "kelvarn：这个桌面只有 Wayland，而 Qt 的 Wayland 支持没有安装（软件包 qt6-wayland）。\n"),
      f"{lonely.returncode}: {lonely.stdout}{lonely.stderr}")
finish()
