"""One book on two computers, synced by Syncthing over the loopback: an account added on one
shows in the other's open window; both changed while the link is cut give a conflict copy,
which Kelvarn started there offers to merge."""
import copy, glob, json, os, shutil, socket, subprocess, sys, urllib.request
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import RELEASE, TMP, Desktop, check, exits, finish, sql, start, wait

CAPTION, QUESTION, FOLDER = "KelvarnV15.1.4", "提示：", "kelvarn"
SEED = [("工作", "公司邮箱", "zhangsan@example.com"), ("工作", "报销系统", "oa.example.com")]
SYNCED, ON_A, ON_B = ("网盘", "云盘", "同步来的"), ("生活", "电费", "甲"), ("游戏", "战网", "乙")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def tool(*args):
    return subprocess.run([f"{RELEASE}/kelvarn-store", *args], capture_output=True).returncode == 0


class Side:  # one computer: a Kelvarn folder (the program beside its store) and its Syncthing
    def __init__(self, name):
        self.name, self.folder, self.home = name, f"{TMP}/{name}/Kelvarn", f"{TMP}/{name}/syncthing"
        self.store, self.port, self.gui = f"{self.folder}/zuld.mdb", free_port(), free_port()
        os.makedirs(f"{self.folder}/.stfolder")
        shutil.copy(f"{RELEASE}/kelvarn", self.folder)
        # Not the program; never a journal, which would roll back the other side's new file.
        open(f"{self.folder}/.stignore", "w").write("/kelvarn\n(?d)*-journal\n")
        subprocess.run(["syncthing", "generate", f"--home={self.home}", "--no-default-folder"],
                       check=True, capture_output=True)
        self.id = subprocess.run(["syncthing", "serve", f"--home={self.home}", "--device-id"],
                                 check=True, capture_output=True, text=True).stdout.strip()

    def serve(self, other):  # loopback only; the folder rescanned when the test says so
        config = ET.parse(f"{self.home}/config.xml")
        root = config.getroot()
        self.key = root.find("gui/apikey").text
        for name, value in (("globalAnnounceEnabled", "false"), ("localAnnounceEnabled", "false"),
                            ("relaysEnabled", "false"), ("natEnabled", "false"),
                            ("startBrowser", "false"), ("urAccepted", "-1"),
                            ("crashReportingEnabled", "false"), ("reconnectionIntervalS", "1"),
                            ("listenAddress", f"tcp://127.0.0.1:{self.port}")):
            root.find(f"options/{name}").text = value
        device = copy.deepcopy(root.find("defaults/device"))
        device.set("id", other.id), device.set("name", other.name)
        device.find("address").text = f"tcp://127.0.0.1:{other.port}"
        folder = copy.deepcopy(root.find("defaults/folder"))
        for name, value in (("id", FOLDER), ("label", FOLDER), ("path", self.folder),
                            ("fsWatcherEnabled", "false")):
            folder.set(name, value)
        ET.SubElement(folder, "device", id=other.id, introducedBy="")
        root.extend([device, folder])
        config.write(f"{self.home}/config.xml", encoding="unicode")
        start("syncthing", "serve", f"--home={self.home}", "--no-browser", "--no-restart",
              "--no-upgrade", f"--gui-address=127.0.0.1:{self.gui}", log=f"syncthing-{self.name}")

    def rest(self, path, method="GET"):  # the answer, or None while it does not answer
        request = urllib.request.Request(f"http://127.0.0.1:{self.gui}/rest/{path}",
                                         method=method, headers={"X-API-Key": self.key})
        try:
            with urllib.request.urlopen(request, timeout=120) as reply:
                return json.loads(reply.read() or "{}")
        except OSError:
            return None

    def connected(self, other):
        return ((self.rest("system/connections") or {}).get("connections", {})
                .get(other.id, {}).get("connected"))

    def scan(self):
        return self.rest(f"db/scan?folder={FOLDER}", "POST") is not None

    def has(self, other):  # the other side holds all this one has
        done = self.rest(f"db/completion?folder={FOLDER}&device={other.id}") or {}
        return done.get("completion") == 100 and done.get("needItems") == 0

    def add(self, account):  # one account, the way kelvarn-store imports it
        path, (kind, name, content) = f"{TMP}/{account[1]}.json", account
        with open(path, "w") as export:
            json.dump([dict(zip(("账号名称", "账号类型", "账号内容", "创建时间", "最后修改"),
                                (name, kind, content) + ("2026/01/01 00:00:00",) * 2))],
                      export, ensure_ascii=False, indent=0)
        return tool("import", path, self.store) and self.scan()

    def accounts(self):
        return set(sql(self.store, "select 账号类型, 账号名称, 账号内容 from 账号集合"))

    def copies(self):
        return glob.glob(f"{self.folder}/zuld.sync-conflict-*.mdb")


a, b = Side("a"), Side("b")
a.serve(b), b.serve(a)
check("both Syncthings connect over the loopback", wait(lambda: a.connected(b) and b.connected(a), 120)) or finish()
check("a book made on A reaches B", tool("init", a.store) and all(a.add(x) for x in SEED) and
      wait(lambda: a.has(b) and os.path.exists(b.store) and b.accounts() == set(SEED), 120)) or finish()

desk = Desktop()
kelvarn = start(f"{b.folder}/kelvarn", log="sync-b")
main = wait(lambda: desk.titled(kelvarn.pid, CAPTION), 60)
check("Kelvarn opens on B", main) or finish()
desk.click(main, 60, 8)  # the first type, 工作
band = wait(lambda: desk.highlight(main, 3))
check("its tree shows the book's one type", band) or finish()
row = band[1] + 1 + (band[1] - band[0] + 1) // 2  # the middle of the second row
check(f"{SYNCED[1]}, added on A, reaches B", a.add(SYNCED) and
      wait(lambda: a.has(b) and SYNCED in b.accounts(), 120), b.accounts())
check("  and B's open window shows its type, a second row",
      wait(lambda: desk.click(main, 60, row) and desk.highlight(main, 3) == (band[1] + 1, 2 * band[1] - band[0] + 1)))
desk.key(main, "alt+F4")
check("  Kelvarn on B is closed", exits(kelvarn) == 0)

a.rest(f"system/pause?device={b.id}", "POST")
check("the link is cut", wait(lambda: not a.connected(b) and not b.connected(a), 60))
check("each side adds an account of its own meanwhile", a.add(ON_A) and b.add(ON_B))
a.rest(f"system/resume?device={b.id}", "POST")
there = wait(lambda: next((side for side in (a, b) if side.copies()), None), 120)
check("back on the link, Syncthing sets a conflict copy aside", there) or finish()
check(f"  on side {there.name}; both sides then agree", wait(
    lambda: a.has(b) and b.has(a) and a.copies() and b.copies() and a.accounts() == b.accounts(), 120))
name = os.path.basename(there.copies()[0])
kelvarn = start(f"{there.folder}/kelvarn", log="sync-merge")


def answer(title):  # Return; again if the box took no key yet (seen with a slow start)
    for _ in range(3):
        box = wait(lambda: desk.titled(kelvarn.pid, title), 60)
        if not box or desk.key(box, "Return") and wait(lambda: not desk.titled(kelvarn.pid, title), 10):
            return box


check(f"Kelvarn started there asks first, in a box titled {QUESTION} ({name} beside it)",
      wait(lambda: desk.titled(kelvarn.pid, QUESTION), 60)) or finish()
check("是 merges it and tells so", answer(QUESTION) and answer("Kelvarn"))
check("  the window shows then", wait(lambda: desk.titled(kelvarn.pid, CAPTION), 60))
check("  the store holds both sides' accounts; the copy is in 已合并",
      {ON_A, ON_B, SYNCED} <= there.accounts() and not there.copies() and
      os.path.exists(f"{there.folder}/已合并/{name}"), (there.accounts(), os.listdir(there.folder)))
other = b if there is a else a
check("the merged book reaches the other side, the copy set aside there too", there.scan() and wait(
    lambda: there.has(other) and other.accounts() == there.accounts() and not other.copies(), 120))
finish()
