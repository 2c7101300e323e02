#!/usr/bin/python3
"""Drives the program over AT-SPI as a screen reader does: finds the frame's,
the options dialog's, the bookmark editor's and the version box's components
by the captions a user reads, toggles, presses and types through the
accessibility interfaces only, and checks what the program then wrote; a
press that opens a dialog returns at once.

Usage: test_atspi.py FRAME_DRIVER. Run on a display of its own inside a
session bus of its own (dbus-run-session); starts the accessibility bus."""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi

DRIVER = sys.argv[1]
FAILURES = []

# Component names of the forms: none of them may be what a user hears.
COMPONENT_NAMES = {
    "MainForm", "ToolButton1", "BackCtrl", "FrwrdCtrl", "StopCtrl", "ReLoadCtrl", "txtAddress", "btnMove",
    "Label1", "TreeView1", "btnBar", "ZBar", "StatusBar1", "ProgressBar1", "MDIClient", "CoolBar1",
    "ToolBar1", "ToolBar2", "ToolBar3", "chkMoz", "chkWin1", "chkWin2", "txtMozPath", "BitBtn1", "Button1",
    "Button2", "Panel1", "PageCTL", "TabSheet1", "TabSheet2", "txtName", "txtURL", "btnAdd", "btnDel",
    "btnMD", "btnOK", "btnCancel", "Label2", "IconLabel", "ProgramIcon", "ProductName", "Version",
    "OKButton", "frm_Option", "frm_BMEdit", "AboutBox", "StatusPanel0",
}

FRAME_ITEMS = [
    "ファイル(F)", "新規作成(N)", "開く(O)...", "閉じる(C)", "名前をつけて保存(A)...", "終了(X)",
    "編集(E)", "コピー(P)", "全て選択(A)", "表示(V)", "ツールバー(T)", "標準", "アドレスバー",
    "ステータスバー", "Ｚバー", "文字サイズ", "最大(B)", "大(L)", "中(M)", "小(S)", "最小(A)",
    "ブックマーク(B)", "ブックマークを編集", "ツール(T)", "エンジン", "Internet Explorer", "Gekko",
    "オプション", "ウィンドウ(W)", "重ねて表示(C)", "水平に並べて表示(H)", "垂直に並べて表示(V)",
    "すべてを最小化(M)", "アイコンの整列(A)", "ヘルプ(H)", "バージョン情報(A)...",
]
FRAME_CONTROLS = [
    (pyatspi.ROLE_PUSH_BUTTON, "新規作成"), (pyatspi.ROLE_PUSH_BUTTON, "戻る"),
    (pyatspi.ROLE_PUSH_BUTTON, "進む"), (pyatspi.ROLE_PUSH_BUTTON, "中止"),
    (pyatspi.ROLE_PUSH_BUTTON, "更新"), (pyatspi.ROLE_PUSH_BUTTON, "移動"),
    (pyatspi.ROLE_PUSH_BUTTON, "Ｚバーの開閉"), (pyatspi.ROLE_TEXT, "アドレス"),
    (pyatspi.ROLE_TREE, "Ｚバー"), (pyatspi.ROLE_PROGRESS_BAR, "進行状況"),
]
OPTION_CONTROLS = [
    (pyatspi.ROLE_CHECK_BOX, "Geckoを使用する"), (pyatspi.ROLE_CHECK_BOX, "ブックマーク"),
    (pyatspi.ROLE_CHECK_BOX, "アドレスバー"), (pyatspi.ROLE_TEXT, "Geckoのフォルダ"),
    (pyatspi.ROLE_PUSH_BUTTON, "参照"), (pyatspi.ROLE_PUSH_BUTTON, "OK"),
    (pyatspi.ROLE_PUSH_BUTTON, "Cancel"),
]
EDITOR_CONTROLS = [
    (pyatspi.ROLE_TEXT, "名前"), (pyatspi.ROLE_TEXT, "URL"), (pyatspi.ROLE_TREE, "ブックマーク"),
    (pyatspi.ROLE_PUSH_BUTTON, "追   加"), (pyatspi.ROLE_PUSH_BUTTON, "削\u3000  除"),
    (pyatspi.ROLE_PUSH_BUTTON, "フォルダの作成"), (pyatspi.ROLE_PUSH_BUTTON, "O   K"),
    (pyatspi.ROLE_PUSH_BUTTON, "キャンセル"),
]
ABOUT_CONTROLS = [
    (pyatspi.ROLE_LABEL, "未定"), (pyatspi.ROLE_LABEL, "Zelvo"), (pyatspi.ROLE_LABEL, "Version：1.0β4"),
    (pyatspi.ROLE_PUSH_BUTTON, "OK"),
]


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        FAILURES.append(what)
    return ok


def until(fn, seconds=30):
    end = time.monotonic() + seconds
    while True:
        try:
            value = fn()
        except Exception:  # the tree changes under us while windows come and go
            value = None
        if value or time.monotonic() > end:
            return value
        time.sleep(0.2)


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Zelvo":
            return app
    return None


def window(app, title):
    for i in range(app.childCount):
        w = app.getChildAtIndex(i)
        if w is not None and w.name == title and w.getState().contains(pyatspi.STATE_SHOWING):
            return w
    return None


def find(root, name, role=None):
    for node in walk(root):
        if node.name == name and (role is None or node.getRole() == role):
            return node
    return None


def act(node, *names):
    """Runs the first of the named actions the node offers, as Orca does."""
    action = node.queryAction()
    offered = [action.getName(i).lower() for i in range(action.nActions)]
    for wanted in names:
        if wanted in offered:
            return action.doAction(offered.index(wanted))
    raise AssertionError("%s offers %s, not %s" % (node.name, offered, names))


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def showing_windows(app):
    return [w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
            if w is not None and w.getState().contains(pyatspi.STATE_SHOWING)]


def press_for_dialog(app, node, what):
    """Presses a control that opens a dialog: the press returns while the
    dialog is still open (a dialog loop would hold the call until it closed),
    the dialog is found, and its Cancel closes it."""
    before = {w.name for w in showing_windows(app)}
    try:
        act(node, "press", "click")
    except Exception as e:  # no reply while the dialog runs a loop of its own
        check(False, "%s: the press returns (%s)" % (what, e))
        return
    dialog = until(lambda: next((w for w in showing_windows(app) if w.name not in before), None), 10)
    if not check(dialog is not None, "%s: the press returns with its dialog open" % what):
        return
    title = dialog.name
    cancel = find(dialog, "キャンセル", pyatspi.ROLE_PUSH_BUTTON) or find(dialog, "Cancel", pyatspi.ROLE_PUSH_BUTTON)
    if check(cancel is not None, "%s: the dialog %r has a Cancel button" % (what, title)):
        act(cancel, "press")
        check(until(lambda: title not in {w.name for w in showing_windows(app)}, 10),
              "%s: Cancel pressed through its action closes the dialog" % what)


def check_names(root, expected, form):
    names = {(n.getRole(), n.name) for n in walk(root)}
    plain = {n for _, n in names}
    for item in expected:
        if isinstance(item, tuple):
            check(item in names, "%s: %s %r" % (form, str(item[0]), item[1]))
        else:
            check(item in plain, "%s: %r" % (form, item))
    internal = sorted(n for n in plain if n in COMPONENT_NAMES)
    check(not internal, "%s: no component read by its internal name %s" % (form, internal))
    check(not any("&" in n for n in plain), "%s: no access-key marker read aloud" % form)


def main():
    folder = tempfile.mkdtemp(prefix="zelvo-atspi-")
    page = os.path.join(folder, "page.html")
    with open(page, "w", encoding="utf-8") as f:
        f.write("<html><head><title>読み上げ[*]テスト</title></head><body>本文</body></html>")
    with open(os.path.join(folder, "bookmark.xml"), "w", encoding="shift_jis") as f:
        f.write('<?xml version="1.0" encoding="Shift_JIS"?>\n<bookmark>\n\t<link>\n\t\t<name>例</name>\n'
                "\t\t<url>http://example.invalid/</url>\n\t</link>\n</bookmark>\n")
    config = os.path.join(folder, "config.ini")

    env = dict(os.environ)
    env.pop("NO_AT_BRIDGE", None)
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    env["QT_ACCESSIBILITY"] = "1"
    proc = subprocess.Popen([DRIVER, folder], env=env)
    app = until(lambda: proc.poll() is not None or application(), 60)
    try:
        app = app if app is not True else None
        if not check(app is not None, "the program shows up on the accessibility bus (status %s)" % proc.poll()):
            return
        frame = until(lambda: window(app, "Zelvo"))
        # Without config.ini the options dialog opens by itself.
        options = until(lambda: window(app, "オプション"))
        check(frame is not None and options is not None, "frame and first-run options dialog are found")
        if frame is None or options is None:
            return
        check_names(frame, FRAME_ITEMS + FRAME_CONTROLS, "frame")
        # A bookmark's item carries its address as its description, as the
        # status bar shows it when the item is pointed at.
        bookmark = find(frame, "例", pyatspi.ROLE_MENU_ITEM)
        check(bookmark is not None and bookmark.description == "http://example.invalid/",
              "the bookmark item's description is its address (%r)" % (bookmark and bookmark.description))
        check_names(options, OPTION_CONTROLS, "options")

        # Toggling the Gecko box the way a screen reader does runs its handler.
        gekko = find(frame, "Gekko")
        check(not enabled(gekko), "Gekko starts disabled")
        act(find(options, "Geckoを使用する", pyatspi.ROLE_CHECK_BOX), "toggle", "press")
        check(until(lambda: enabled(find(frame, "Gekko")), 10), "the Toggle action enables Gekko at once")
        check(until(lambda: enabled(find(options, "Geckoのフォルダ")), 10), "and the folder box")
        press_for_dialog(app, find(options, "参照", pyatspi.ROLE_PUSH_BUTTON), "参照")
        act(find(options, "OK", pyatspi.ROLE_PUSH_BUTTON), "press")
        check(until(lambda: os.path.exists(config) and "Mozilla=1" in open(config, encoding="utf-8").read(), 10),
              "OK pressed through its action writes Mozilla=1")

        # The bookmark editor, opened from its menu item.
        act(find(frame, "ブックマークを編集"), "press", "click")
        editor = until(lambda: window(app, "ブックマークの編集"))
        if check(editor is not None, "the bookmark editor opens from its menu item"):
            check_names(editor, EDITOR_CONTROLS, "editor")
            os.remove(os.path.join(folder, "bookmark.xml"))
            act(find(editor, "O   K", pyatspi.ROLE_PUSH_BUTTON), "press")
            written = os.path.join(folder, "bookmark.xml")
            check(until(lambda: os.path.exists(written) and "例".encode("shift_jis") in open(written, "rb").read(), 10),
                  "the editor's O   K pressed through its action writes bookmark.xml")
            check(until(lambda: window(app, "ブックマークの編集") is None, 10), "and hides the editor")

        press_for_dialog(app, find(frame, "開く(O)..."), "File > Open")

        # The version box: every label by its text, closed by its OK.
        act(find(frame, "バージョン情報(A)..."), "press", "click")
        about = until(lambda: window(app, "バージョン情報"))
        if check(about is not None, "the version box opens from its menu item"):
            check_names(about, ABOUT_CONTROLS, "version box")
            act(find(about, "OK", pyatspi.ROLE_PUSH_BUTTON), "press")
            check(until(lambda: window(app, "バージョン情報") is None, 10), "its OK closes it")

        # An address typed with the text interface, opened with 移動.
        address = find(frame, "アドレス", pyatspi.ROLE_TEXT)
        url = "file://" + page
        address.queryEditableText().setTextContents(url)
        check(until(lambda: address.queryText().getText(0, -1) == url, 10), "the address box takes the typed text")
        act(find(frame, "移動", pyatspi.ROLE_PUSH_BUTTON), "press")
        # Read by its title as shown, "[*]" included.
        if not check(until(lambda: find(frame, "読み上げ[*]テスト", pyatspi.ROLE_FRAME), 60) is not None,
                     "移動 opens a window that shows the typed page, named by its title"):
            for n in walk(frame):
                print("  ", n.getRole(), repr(n.name))

        # The bookmark item pressed through its action opens its address.
        act(find(frame, "例", pyatspi.ROLE_MENU_ITEM), "press")
        check(until(lambda: address.queryText().getText(0, -1) == "http://example.invalid/", 10),
              "the bookmark item pressed through its action opens its address")
    finally:
        proc.terminate()
        try:
            proc.wait(20)
        except subprocess.TimeoutExpired:
            proc.kill()


if __name__ == "__main__":
    main()
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        sys.exit(1)
    print("all checks passed")
