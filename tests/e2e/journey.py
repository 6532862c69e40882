"""Kelvarn as a user meets it: started without a display, installed with
its menu entry, accounts added, modified, found by pinyin and deleted through real boxes, the
tray, the web pages, closing with the editor loaded, installing again, a protected store and a
lost one."""
import ctypes, filecmp, hashlib, os, re, shutil, sqlite3, subprocess, sys
import dbus

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import RELEASE, TMP, Desktop, check, exits, finish, in_memory, pages, session_bus, sql, start, wait
from Xlib import X

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "../.."))
HOME = os.environ["HOME"]
CAPTION, EDITOR, QUESTION = "KelvarnV15.1.4", "Form1", "提示："
# Accounts as type, name, content; DECLINED is answered 否, NEW_MAIL is MAIL modified.
MAIL = ("工作", "公司邮箱", "账号：zhangsan@example.com\n密码：Abc-123")
OA = ("工作", "报销系统", "网址：http://oa.example.com\n（每月5日前提交）")
DECLINED = ("生活", "不要保存", "这一条选否")
NEW_MAIL = ("工作", "企业邮箱", "账号：zhangsan@example.com\n密码：Xyz-789")
SYNCED, LATER = ("生活", "网盘", "从另一台电脑同步来的"), ("生活", "云盘", "同步之后添加")
# Client positions of the controls.
ADD, MODIFY, DELETE, HELP, ABOUT, HIDE = (195, 15), (195, 46), (195, 77), (195, 109), (195, 140), (195, 285)
BACK, EDITOR_ADD, EDITOR_MODIFY = (54, 12), (54, 37), (54, 62)
BOXES = ((45, 110), (50, 155), (250, 80))  # the editor's type, name and content
PLACE = (190, 145)  # where the main window is moved to, away from where openbox put it

bare = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "QT_QPA_PLATFORM")}
run = subprocess.run([f"{RELEASE}/kelvarn"], env=bare, capture_output=True, text=True, timeout=60)
check("without a display it says so in one line and exits with code 2", (run.returncode, run.stdout + run.stderr)
      == (2, "kelvarn：没有可以显示窗口的图形桌面，请在桌面环境中启动。\n"), f"{run.returncode}: {run.stdout}{run.stderr}")
desk = Desktop()
PASSPHRASE, WRONG, FIND = "Lock-42", "guess", "bxxt"  # FIND: 报销系统's pinyin initials
desk.map_keys("".join("".join(a) for a in (MAIL, OA, DECLINED, NEW_MAIL, LATER)) + PASSPHRASE + WRONG + FIND)
folder = f"{TMP}/my apps/100% o'k $HOME \"q\" 账号"
store = f"{folder}/zuld.mdb"
entry = f"{HOME}/.local/share/applications/kelvarn.desktop"


install = lambda: subprocess.run([f"{REPO}/scripts/install-desktop.sh", RELEASE],  # noqa: E731
                                 capture_output=True, env={**os.environ, "PREFIX": folder}).returncode == 0


files = lambda: " ".join(sorted(os.listdir(folder)))  # noqa: E731



check("install-desktop.sh installs into a folder chosen by PREFIX", install())
check("with the program, the store tool, the icon and a private empty store",
      (files(), oct(os.stat(store).st_mode & 0o777), sql(store, "select count(*) from 账号集合"))
      == ("kelvarn kelvarn-store kelvarn.png zuld.mdb", "0o600", [(0,)]))
check("the menu entry is valid", subprocess.run(["desktop-file-validate", entry]).returncode == 0)
# The program it starts, its Exec line read the way desktops do: the file's string escapes,
# then %%, then one argument in double quotes with \ " ` $ escaped.
exec_line = re.search("^Exec=(.*)$", open(entry).read(), re.M)[1].replace("\\\\", "\\")
quoted = re.fullmatch(r'"((?:[^"\\]|\\.)*)"', exec_line.replace("%%", "%"))
program = [re.sub(r'\\([\\"`$])', r"\1", quoted[1]) if quoted else exec_line]
check("its command names the installed program", program == [f"{folder}/kelvarn"], program)
check("the menu icon is the program's icon", filecmp.cmp(
    f"{HOME}/.local/share/icons/hicolor/128x128/apps/kelvarn.png", f"{REPO}/resources/kelvarn.png"))

kelvarn = start(program[0], log="journey", cwd=HOME)
titled = lambda title: desk.titled(kelvarn.pid, title)  # noqa: E731
main = wait(lambda: titled(CAPTION))
check(f"the main window maps, titled {CAPTION}", main) or finish()
geometry = main.get_geometry()
check("its client area is 499x315, on top; it can write no core file",
      (geometry.width, geometry.height, desk.topmost(main)) == (499, 315, True) and
      re.search(r"core file size +0 +0", open(f"/proc/{kelvarn.pid}/limits").read()))
icon = (wait(lambda: desk.windows(kelvarn.pid, docked=True)) or [None])[0]
check("its icon is in the notification area", icon)
desk.screenshot("startup-main", main)
check(f"it can be moved to {PLACE}", desk.move(main, *PLACE))
desk.click(main, *ADD)
editor = wait(lambda: titled(EDITOR))
check("添加记录 shows the editor alone, on top",
      editor and desk.windows(kelvarn.pid) == [editor] and desk.topmost(editor)) or finish()


def fill(account):  # types into the editor's boxes, replacing them; "" leaves a box alone
    return all(not text or (desk.click(editor, *at) and desk.key(editor, "ctrl+a", "BackSpace") and
                            desk.type(editor, text)) for at, text in zip(BOXES, account))


def ask(window, button, key, what, shot=None):
    # The button that asks; the box over the hidden window, answered with `key`.
    place = desk.place(window)
    desk.click(window, *button)
    box = wait(lambda: titled(QUESTION))
    if check(f"{what}: a box titled {QUESTION} maps over the hidden window",
             box and not desk.mapped(window)):
        if shot:
            desk.screenshot(shot, box)
        check(f"  {key} answers it, the window is back where it was",
              desk.key(box, key) and wait(lambda: desk.mapped(window) and desk.place(window) == place))


def add(account, key, shots=(None, None)):
    check(f"{account[1]} is typed into the editor", fill(account))
    if shots[0]:
        desk.screenshot(shots[0], editor)
    ask(editor, EDITOR_ADD, key, f"adding {account[1]}, answered {key}", shots[1])


def accounts():
    return sql(store, "select 账号类型, 账号名称, 账号内容 from 账号集合")


add(MAIL, "Return", ("journey-editor-add", "journey-confirm"))
add(OA, "Return")
add(DECLINED, "Escape")
check("the store holds the accepted accounts as typed", accounts() == [MAIL, OA], accounts())

desk.click(editor, *BACK)
check("返回 brings back the main window where it was",
      wait(lambda: desk.windows(kelvarn.pid) == [main] and desk.place(main) == PLACE))
desk.click(main, 60, 8)  # the tree: 工作 (公司邮箱, 报销系统)
band = wait(lambda: desk.highlight(main, 3))
check("a click selects the first type", band) or finish()
top, height = band[0], band[1] - band[0] + 1


def row(n, clicks=1):  # clicks a tree row (twice: shows its account), waits for its selection
    desk.click(main, 60, top + height * n + height // 2, clicks)
    return wait(lambda: desk.highlight(main, 3) == (top + height * n, top + height * n + height - 1))


check("Right opens it; a double click shows 公司邮箱", desk.key(main, "Right") and row(1, 2))
desk.click(main, *MODIFY)
check("修改当前记录 shows the editor alone", wait(lambda: desk.windows(kelvarn.pid) == [editor]))
check("the new name and content are typed in", fill(("",) + NEW_MAIL[1:]))
desk.screenshot("journey-editor-modify", editor)
ask(editor, EDITOR_MODIFY, "Return", "modifying 公司邮箱")
check("the shown account changed in its own row", accounts() == [NEW_MAIL, OA], accounts())
desk.click(editor, *BACK)
check("返回 brings back the main window; its rebuilt tree shows 企业邮箱 on a double click",
      wait(lambda: desk.mapped(main)) and row(0) and desk.key(main, "Right") and row(1, 2))
desk.screenshot("journey-main", main)

def view():  # the record view's pixels, without the byte that X leaves undefined
    pixels = bytearray(main.get_image(244, 0, 255, 294, X.ZPixmap, 0xFFFFFFFF).data)
    del pixels[3::4]
    return pixels


shown = view()
check("a double click shows 报销系统", row(2, 2) and (oa := wait(lambda: view() != shown and view())))
check("and one on 企业邮箱 shows it again", row(1, 2) and wait(lambda: view() == shown))
desk.key(main, "ctrl+f")
found = wait(lambda: titled("查找账号"))
check("Ctrl+F shows the find window, on top", found and desk.topmost(found)) or finish()
check(f"{FIND} typed there highlights a row", desk.type(found, FIND) and wait(lambda: desk.highlight(found, 100)))
desk.screenshot("journey-find", found)
check("Enter closes it, and the record view shows 报销系统 as its double click did",
      desk.key(found, "Return") and wait(lambda: not desk.mapped(found) and view() == oa))
ask(main, DELETE, "Return", "deleting 报销系统, the account chosen")
check("the store lost exactly that row", accounts() == [NEW_MAIL], accounts())
synced = f"{folder}/.syncthing.zuld.mdb.tmp"  # a sync client writes the newer store beside it
shutil.copy(store, synced)
sqlite3.connect(synced, isolation_level=None).execute(
    "insert into 账号集合 values(?, ?, ?, '2026/01/01 00:00:00', '2026/01/01 00:00:00', randomblob(16))",
    (SYNCED[1], SYNCED[0], SYNCED[2]))
os.rename(synced, store)
check("a store renamed over it: the tree follows, showing its new type", wait(lambda: row(1)))
desk.click(main, *ADD)
check("添加记录 shows the editor", wait(lambda: desk.mapped(editor)))
add(LATER, "Return")
desk.click(editor, *BACK)
check("the account added lands in the store there now", wait(lambda: desk.mapped(main)) and
      accounts() == [NEW_MAIL, SYNCED, LATER], accounts())

desk.click(main, *HIDE)
check("隐藏到托盘 hides the main window", wait(lambda: not desk.mapped(main)))
desk.click(icon, 11, 15)
check("a click on the icon brings it back where it was, on top",
      wait(lambda: desk.mapped(main) and desk.place(main) == PLACE) and desk.topmost(main))
desk.click(main, *ABOUT)
desk.click(main, *HELP)
host = re.search(r'kWebHost\[\] = "(.*)"', open(f"{RELEASE}/generated/version.h").read())[1]
check("关于 and 用户手册 open the about page and the manual", wait(
    lambda: pages() == f"http://{host}/mypregrams/zul/about.html\nhttp://{host}/mypregrams/zul/usersc.html\n"),
      pages())
desk.click(main, *ADD)
check("添加记录 shows the editor", wait(lambda: desk.mapped(editor)))
desk.click(editor, *BACK)
check("返回 brings the main window back", wait(lambda: desk.mapped(main)))
desk.key(main, "alt+F4")
check("closing the main window ends the program with exit code 0", exits(kelvarn) == 0)
check("its icon is gone", not desk.windows(kelvarn.pid, docked=True))
check("the store passes PRAGMA integrity_check, its accounts kept",
      (sql(store, "pragma integrity_check"), accounts()) == ([("ok",)], [NEW_MAIL, SYNCED, LATER]))
stored = hashlib.sha256(open(store, "rb").read()).digest()
check("installing again keeps the accounts byte for byte, nothing else beside them",
      install() and hashlib.sha256(open(store, "rb").read()).digest() == stored and
      files() == "kelvarn kelvarn-store kelvarn.png zuld.mdb")

protect = subprocess.run([f"{folder}/kelvarn-store", "protect", store, "--passphrase-fd", "0"],
                         input=PASSPHRASE + "\n", capture_output=True, text=True)
check("kelvarn-store protect protects the store", protect.returncode == 0, protect.stderr)


def data_key():  # the store's key, unwrapped from its key table with the passphrase, as Kelvarn does
    sodium = ctypes.CDLL("libsodium.so.23")
    salt, ops, memory, wrapped = sql(store, "select 盐, 运算次数, 内存, 密钥 from 账号密钥")[0]
    wrapping, key, label, u64 = ctypes.create_string_buffer(32), ctypes.create_string_buffer(32), "账号密钥".encode(), ctypes.c_ulonglong
    assert sodium.sodium_init() >= 0 and sodium.crypto_pwhash(
        wrapping, u64(32), PASSPHRASE.encode(), u64(len(PASSPHRASE)), salt, u64(ops), ctypes.c_size_t(memory), 2) == 0
    opened = sodium.crypto_aead_xchacha20poly1305_ietf_decrypt(key, None, None, wrapped[27:], u64(len(wrapped) - 27),
                                                               label, u64(len(label)), wrapped[3:27], wrapping)
    return key.raw if opened == 0 else None


# A session bus of its own, on which the journey plays the screen saver.
env = {**os.environ, "XDG_CONFIG_HOME": f"{TMP}/config"}
session_bus(env)
kelvarn = start(program[0], log="journey-protected", cwd=HOME, env=env)
asking = wait(lambda: desk.windows(kelvarn.pid))
check("the passphrase window maps alone, titled Kelvarn",
      asking and len(asking) == 1 and desk.title(asking[0]) == "Kelvarn") or finish()
desk.screenshot("journey-passphrase", asking[0])
desk.type(asking[0], WRONG + "\n")
box = wait(lambda: [w for w in desk.windows(kelvarn.pid) if w != asking[0]])
check("a wrong passphrase: a box titled Kelvarn, alone", box and len(box) == 1 and
      desk.title(box[0]) == "Kelvarn" and desk.windows(kelvarn.pid) == box)
desk.key(box[0], "Return")
asking = wait(lambda: [w for w in desk.windows(kelvarn.pid) if w != box[0]])
check("Return answers it and the passphrase is asked again",
      asking and desk.title(asking[0]) == "Kelvarn")
desk.type(asking[0], PASSPHRASE + "\n")
main = wait(lambda: titled(CAPTION))
check("the right one shows the main window", main) or finish()
desk.click(main, 60, 8)
check("a double click shows 企业邮箱 as before", wait(lambda: desk.highlight(main, 3)) and desk.key(main, "Right")
      and row(1, 2) and wait(lambda: view() == shown))
MARKER, KEY = NEW_MAIL[2].split("：")[-1], data_key()
needles = (MARKER.encode(), MARKER.encode("utf-16-le"), KEY)
check("its content and the store's key are in the program's memory, where a dump would find them",
      KEY and in_memory(kelvarn.pid, *needles[1:]) == list(needles[1:]), in_memory(kelvarn.pid, *needles))
screensaver = dbus.bus.BusConnection(env["DBUS_SESSION_BUS_ADDRESS"])
screensaver.request_name("org.freedesktop.ScreenSaver")
active = dbus.lowlevel.SignalMessage("/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged")
active.append(True, signature="b")
screensaver.send_message(active)
check("the screen saver's ActiveChanged(true) locks it: the main window hides, the icon stays",
      wait(lambda: not desk.mapped(main)) and desk.windows(kelvarn.pid, docked=True))
check("nothing of the content (UTF-8 or UTF-16), nor the key, is left in its memory",
      wait(lambda: not in_memory(kelvarn.pid, *needles), 10), in_memory(kelvarn.pid, *needles))
desk.click((desk.windows(kelvarn.pid, docked=True) or [None])[0], 11, 15)
asking = wait(lambda: desk.windows(kelvarn.pid))
check("a click on the icon asks for the passphrase, alone", asking and len(asking) == 1 and
      desk.title(asking[0]) == "Kelvarn") or finish()
desk.screenshot("journey-locked", asking[0])
desk.type(asking[0], PASSPHRASE + "\n")
check("the right one shows the main window as it was, 企业邮箱 shown",
      wait(lambda: desk.mapped(main) and view() == shown))
check("closing it ends the program with exit code 0", desk.key(main, "alt+F4") and exits(kelvarn) == 0)
os.rename(store, f"{store}.kept")
kelvarn = start(program[0], log="journey-no-store", cwd=HOME)
check("without its store: a box titled Kelvarn; Return ends the program with code 1, nothing made",
      (box := wait(lambda: titled("Kelvarn"))) and desk.key(box, "Return") and exits(kelvarn) == 1
      and files() == "kelvarn kelvarn-store kelvarn.png zuld.mdb.kept", files())
finish()
