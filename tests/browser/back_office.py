#!/usr/bin/python3
"""The back office in a real browser (headless Chromium, 360 px wide, no script needed by the
pages): an owner is sent to the sign-in form and back, adds, renames, moves and deletes a class
chosen from the list (a delete asks first), sets the call number (a wrong one is explained) that the WML home page then
dials, changes the password, signs out and in again. Then an owner's journey: sign in, make a news
class, write an article, add a product with a picture, reply to a visitor's message, sign out; the
handset pages (home, news list, article, products, guestbook) then show it all, as WML valid against
the WML 1.1 DTD and as well-formed XHTML, with the texts escaped and the owner's markup kept.
Last, every back-office page, signed out and in, at 360 and 1280 px, is checked by axe-core
(tests/browser/node_modules, installed by scripts/deps): no serious or critical violation, and
the first control the keyboard reaches shows its focus.
Usage: back_office.py PATH/TO/wapsite"""
import html
import os
import re
import subprocess
import sys
import tempfile
import urllib.parse
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait


def main(wapsite):
    with tempfile.TemporaryDirectory() as tmp:
        root = tmp + "/root"
        subprocess.run([wapsite, "init", root, "--demo"], check=True, stdout=subprocess.DEVNULL)
        server = subprocess.Popen([wapsite, "serve", "--root", root, "--listen", "127.0.0.1:0",
                                   "--drain-seconds", "0"], stdout=subprocess.PIPE, text=True)
        options = webdriver.ChromeOptions()
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=360,740"):
            options.add_argument(arg)
        browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        try:
            site = server.stdout.readline().strip().replace("listening on ", "")
            drive(browser, site)
            news_class = journey(browser, site)
            handset_pages_show(site, news_class)
            tidy_up(browser, site, news_class)
            accessible(browser, site, news_class)
        finally:
            browser.quit()
            server.terminate()
            server.wait()
    print("browser: sign-in, classes, settings, sign-out, the owner's journey and tidying up "
          "passed at 360 px; no serious or critical axe-core violation at 360 and 1280 px")


def go(browser, element, submit=False):
    """Clicks `element` (or submits its form) and waits until the next page has replaced this one
    and finished loading (errors while the pages change over are waited out)."""
    browser.execute_script("window.leaving = true")
    if submit:
        element.submit()
    else:
        element.click()
    WebDriverWait(browser, 10, ignored_exceptions=(WebDriverException,)).until(
        lambda b: b.execute_script("return !window.leaving && document.readyState == 'complete'"))


def drive(browser, site):
    by_css = browser.find_element

    def sign_in(password):
        by_css(By.NAME, "username").send_keys("demo")
        by_css(By.NAME, "password").send_keys(password)
        go(browser, by_css(By.CSS_SELECTOR, "form button"))

    def fits():  # nothing wider than the 360 px window
        width = browser.execute_script("return document.documentElement.scrollWidth")
        assert width <= browser.execute_script("return window.innerWidth"), (browser.current_url, width)

    def row_of(name):
        for row in browser.find_elements(By.CSS_SELECTOR, "tr.row"):
            if row.find_element(By.NAME, "edtclassname").get_attribute("value") == name:
                return row
        return None

    browser.get(site + "/admin/class.asp")
    assert "/admin/?back=" in browser.current_url, browser.current_url
    fits()
    sign_in("wrong")
    assert "用户名或密码不正确" in browser.page_source
    by_css(By.NAME, "password").send_keys("demo")
    go(browser, by_css(By.CSS_SELECTOR, "form button"))
    assert browser.current_url == site + "/admin/class.asp", (browser.current_url, site)
    fits()

    by_css(By.NAME, "classname").send_keys("浏览器栏目")
    Select(by_css(By.NAME, "type")).select_by_visible_text("新闻列表")
    sortid = by_css(By.NAME, "sortid")
    sortid.clear()
    sortid.send_keys("7")
    go(browser, by_css(By.CSS_SELECTOR, "button[value='新建']"))
    row = row_of("浏览器栏目")
    assert row is not None and "新闻列表" in row.text
    name = row.find_element(By.NAME, "edtclassname")
    name.clear()
    name.send_keys("改名栏目")
    position = row.find_element(By.NAME, "edtsortid")
    position.clear()
    position.send_keys("0")
    go(browser, row.find_element(By.CSS_SELECTOR, "button[value='保存']"))
    first = browser.find_elements(By.CSS_SELECTOR, "tr.row")[0]
    assert first.find_element(By.NAME, "edtclassname").get_attribute("value") == "改名栏目"
    go(browser, first.find_element(By.CSS_SELECTOR, "button[value='down']"))
    second = browser.find_elements(By.CSS_SELECTOR, "tr.row")[1]
    assert second.find_element(By.NAME, "edtclassname").get_attribute("value") == "改名栏目"
    assert "下移一位" in browser.page_source
    # A position that is no number: the list again, saying why, with what was typed.
    position = row_of("改名栏目").find_element(By.NAME, "edtsortid")
    position.clear()
    position.send_keys("abc")
    go(browser, row_of("改名栏目").find_element(By.CSS_SELECTOR, "button[value='保存']"))
    assert "排序请填写整数" in browser.page_source
    assert row_of("改名栏目").find_element(By.NAME, "edtsortid").get_attribute("value") == "abc"
    fits()
    # A delete asks first, saying what goes with the class, then says what went.
    go(browser, row_of("改名栏目").find_element(By.LINK_TEXT, "删除"))
    assert "将要删除：栏目“改名栏目”" in browser.page_source
    fits()
    go(browser, by_css(By.CSS_SELECTOR, "main form button"))
    assert "已删除栏目“改名栏目”" in browser.page_source
    assert row_of("改名栏目") is None

    browser.get(site + "/admin/settings.asp")
    fits()
    phone = by_css(By.NAME, "dircall")
    phone.clear()
    phone.send_keys("call me")
    go(browser, phone, submit=True)
    assert "电话号码只能包含" in browser.page_source
    phone = by_css(By.NAME, "dircall")
    phone.clear()
    phone.send_keys("+86 571-1234")
    go(browser, phone, submit=True)
    assert "已保存" in browser.page_source
    wml = urllib.request.urlopen(urllib.request.Request(
        site + "/wap/index.asp?userid=1&username=demo&siteid=1",
        headers={"Accept": "text/vnd.wap.wml"})).read().decode()
    assert "wtai://wp/mc;+86 571-1234" in wml, wml

    by_css(By.NAME, "current").send_keys("demo")
    by_css(By.NAME, "password").send_keys("new-pass")
    by_css(By.NAME, "confirm").send_keys("new-pass")
    go(browser, by_css(By.NAME, "confirm"), submit=True)
    assert "已保存" in browser.page_source
    go(browser, by_css(By.CSS_SELECTOR, "nav button"))
    assert by_css(By.NAME, "password") is not None
    sign_in("new-pass")
    assert "站点概览" in browser.page_source and "修改密码" in browser.page_source


SITE = "userid=1&username=demo&siteid=1"
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
WML_DTD = os.path.join(DATA, "wml_1.1.dtd")
CLASS = "春茶<快讯>"
TITLE = "新茶 & 旧茶"
TEXT = "明前<龙井>到货 & 包邮"
PRODUCT = "明前龙井"
DESCRIPTION = "<b>特级</b>新茶"
REPLY = "有货，<b>欢迎选购</b>"


def journey(browser, site):
    """The owner's journey in the browser; returns the new news class's id."""
    by_css = browser.find_element
    browser.delete_all_cookies()
    browser.get(site + "/admin/")
    by_css(By.NAME, "username").send_keys("demo")
    by_css(By.NAME, "password").send_keys("new-pass")
    go(browser, by_css(By.CSS_SELECTOR, "form button"))
    assert "站点概览" in browser.page_source

    # A news class, then an article in it through the class's editor link.
    browser.get(site + "/admin/class.asp")
    by_css(By.NAME, "classname").send_keys(CLASS)
    Select(by_css(By.NAME, "type")).select_by_visible_text("新闻列表")
    go(browser, by_css(By.CSS_SELECTOR, "button[value='新建']"))
    row = next(r for r in browser.find_elements(By.CSS_SELECTOR, "tr.row")
               if r.find_element(By.NAME, "edtclassname").get_attribute("value") == CLASS)
    go(browser, row.find_element(By.LINK_TEXT, "编辑内容"))
    cid = re.search(r"cid=(\d+)", browser.current_url).group(1)
    assert "还没有文章" in browser.page_source
    by_css(By.NAME, "title").send_keys(TITLE)
    by_css(By.NAME, "content").send_keys(TEXT)
    go(browser, by_css(By.CSS_SELECTOR, "fieldset button[type='submit']"))
    assert "已保存" in browser.page_source and TITLE in by_css(By.CSS_SELECTOR, "tr.row").text

    # A product with a picture, which the editor then shows re-encoded.
    picture = os.path.abspath(os.path.join(DATA, "pictures", "gradient_48x32.png"))
    browser.get(site + "/admin/products.asp")
    by_css(By.NAME, "pname").send_keys(PRODUCT)
    by_css(By.NAME, "pcontent").send_keys(DESCRIPTION)
    by_css(By.NAME, "picture").send_keys(picture)
    go(browser, by_css(By.CSS_SELECTOR, "fieldset button[type='submit']"))
    assert "已保存" in browser.page_source, browser.page_source
    newest = by_css(By.CSS_SELECTOR, "tr.row")
    assert PRODUCT in newest.text
    src = newest.find_element(By.TAG_NAME, "img").get_attribute("src")
    assert fetch(src, "image/*").startswith(b"\xff\xd8"), src  # stored as a JPEG

    # A visitor leaves a message on the handset page; the owner answers it.
    message = {"lyr": "访客甲", "title": "问<价>", "content": "龙井 & 碧螺春有货吗"}
    fetch(site + "/wap/newly.asp?" + SITE, "text/vnd.wap.wml", urllib.parse.urlencode(message).encode())
    browser.get(site + "/admin/guestbook.asp")
    message = by_css(By.CSS_SELECTOR, "fieldset")  # the newest first
    assert "问<价>" in message.text, message.text
    message.find_element(By.NAME, "hf").send_keys(REPLY)
    go(browser, message.find_element(By.CSS_SELECTOR, "form button"))
    assert "已保存" in browser.page_source
    assert "删除回复" in by_css(By.CSS_SELECTOR, "fieldset").text

    # The dashboard names each change as the owner knows it, and fits the narrow window.
    browser.get(site + "/admin/")
    activity = by_css(By.TAG_NAME, "main").text
    assert "文章“" + TITLE + "”" in activity and "产品“" + PRODUCT + "”" in activity, activity
    assert "wap_" not in activity
    width = browser.execute_script("return document.documentElement.scrollWidth")
    assert width <= browser.execute_script("return window.innerWidth"), ("dashboard", width)

    go(browser, by_css(By.CSS_SELECTOR, "nav button"))
    browser.get(site + "/admin/products.asp")
    assert "/admin/?back=" in browser.current_url, browser.current_url
    return cid


def tidy_up(browser, site, cid):
    """The owner tidies up: a delete asks first, naming what goes, and then says what went; a
    name that cleaning changes says so; the handset preview shows the card, not its source; a
    row that is not the owner's and a stale form are refused on the back office's own page."""
    by_css = browser.find_element
    browser.get(site + "/admin/")
    by_css(By.NAME, "username").send_keys("demo")
    by_css(By.NAME, "password").send_keys("new-pass")
    go(browser, by_css(By.CSS_SELECTOR, "form button"))

    def fits():
        width = browser.execute_script("return document.documentElement.scrollWidth")
        assert width <= browser.execute_script("return window.innerWidth"), (browser.current_url, width)

    def confirm(link_text, asks, told, row=None):
        go(browser, (row or browser).find_element(By.LINK_TEXT, link_text))
        main = by_css(By.TAG_NAME, "main").text
        assert "将要删除：" + asks in main, main
        fits()
        go(browser, by_css(By.CSS_SELECTOR, "main form button"))
        assert told in by_css(By.TAG_NAME, "main").text, by_css(By.TAG_NAME, "main").text

    # Each kind of delete is checked over HTTP; here, that a real browser gets through one
    # without script, from the list's link to the confirmation's button.
    browser.get(site + "/admin/products.asp")
    confirm("删除", "产品“" + PRODUCT + "”和它的图片", "已删除产品“" + PRODUCT + "”",
            by_css(By.CSS_SELECTOR, "tr.row"))
    browser.get(site + "/admin/class.asp")
    by_css(By.NAME, "classname").send_keys("Lily's")
    go(browser, by_css(By.CSS_SELECTOR, "button[value='新建']"))
    assert "已去掉，保存为“Lilys”" in by_css(By.TAG_NAME, "main").text

    browser.get(site + "/admin/preview.asp?markup=wml&of=index")
    assert browser.find_elements(By.CSS_SELECTOR, ".handset section.card"), browser.page_source
    assert "<wml" not in browser.page_source
    fits()

    # A phone's photo is taken and stored re-encoded; a file over the upload limit is refused on
    # the back office's page, which says the limit.
    with tempfile.TemporaryDirectory() as tmp:
        photo, big = phone_photo(tmp, 4000, 3000), os.path.join(tmp, "big.jpg")
        with open(big, "wb") as f:
            f.truncate(26 * 1024 * 1024)
        for picture, says in ((photo, "已保存"), (big, "每次最多 25 MB")):
            browser.get(site + "/admin/products.asp")
            by_css(By.NAME, "pname").send_keys("手机照片")
            by_css(By.NAME, "picture").send_keys(picture)
            go(browser, by_css(By.CSS_SELECTOR, "fieldset button[type='submit']"))
            assert says in by_css(By.TAG_NAME, "main").text, browser.page_source
            assert browser.find_elements(By.TAG_NAME, "nav")
            fits()

    browser.get(site + "/admin/products.asp?delete=999")
    assert "没有这一项" in by_css(By.TAG_NAME, "main").text and browser.find_elements(By.TAG_NAME, "nav")
    browser.get(site + "/admin/class.asp")
    browser.execute_script("document.querySelector('tr.row input[name=token]').value = 'stale'")
    go(browser, by_css(By.CSS_SELECTOR, "button[value='保存']"))
    assert "表单已经过期" in by_css(By.TAG_NAME, "main").text
    fits()


def phone_photo(folder, width, height):
    """A JPEG of `width` × `height` pixels of coarse noise, several MB as a phone's photo is."""
    noise, path = os.path.join(folder, "noise.v"), os.path.join(folder, "photo.jpg")
    for step in (["gaussnoise", noise, str(width // 4), str(height // 4), "--sigma", "50"],
                 ["resize", noise, noise + ".r.v", "4"],
                 ["bandjoin", " ".join([noise + ".r.v"] * 3), noise + ".c.v"],
                 ["cast", noise + ".c.v", noise + ".u.v", "uchar"],
                 ["jpegsave", noise + ".u.v", path, "--Q", "90"]):
        subprocess.run(["vips", *step], check=True)
    return path


AXE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "node_modules", "axe-core",
                   "axe.min.js")
PAGES = ["/admin/", "/admin/class.asp", "/admin/contents.asp?cid={cid}", "/admin/products.asp",
         "/admin/guestbook.asp", "/admin/members.asp", "/admin/settings.asp",
         "/admin/class.asp?delete=1", "/admin/products.asp?delete=999",
         "/admin/preview.asp?markup=wml&of=index", "/admin/toolarge.asp?limit=26214400"]


def accessible(browser, site, cid):
    """axe-core over every back-office page, signed out (each is then the sign-in form, once with
    a refusal) and signed in, at both widths; asserts that none has a serious or critical
    violation and that keyboard focus is visible."""
    with open(AXE, encoding="utf-8") as f:
        axe = f.read()
    found = []

    def check(what):
        # Injected through WebDriver, which the pages' Content-Security-Policy does not govern.
        browser.execute_script(axe)
        violations = browser.execute_async_script("""
            const done = arguments[arguments.length - 1];
            axe.run(document, {resultTypes: ['violations']}).then(
                r => done(r.violations.filter(v => v.impact == 'serious' || v.impact == 'critical')
                    .map(v => v.impact + ' ' + v.id + ': ' + v.nodes.map(n => n.target).join(', '))),
                e => done(['critical axe-core failed: ' + e]));""")
        found.extend(f"{what}: {v}" for v in violations)
        browser.find_element(By.TAG_NAME, "body").send_keys(Keys.TAB)
        focus = browser.execute_script("""
            const e = document.activeElement, s = getComputedStyle(e);
            return [e.tagName, s.outlineStyle, s.outlineWidth];""")
        if focus[0] != "BODY" and (focus[1] == "none" or focus[2] == "0px"):
            found.append(f"{what}: keyboard focus on {focus[0]} shows no outline")

    for width in (360, 1280):
        browser.set_window_size(width, 740)
        browser.delete_all_cookies()
        for page in PAGES:
            browser.get(site + page.format(cid=cid))
            check(f"{width} px, signed out, {page}")
        browser.find_element(By.NAME, "username").send_keys("demo")
        browser.find_element(By.NAME, "password").send_keys("wrong")
        go(browser, browser.find_element(By.CSS_SELECTOR, "form button"))
        check(f"{width} px, a refused sign-in")
        browser.find_element(By.NAME, "password").send_keys("new-pass")
        go(browser, browser.find_element(By.CSS_SELECTOR, "form button"))
        for page in PAGES:
            browser.get(site + page.format(cid=cid))
            assert "/admin/?back=" not in browser.current_url, browser.current_url
            check(f"{width} px, signed in, {page}")
    assert not found, "accessibility:\n" + "\n".join(found)


def fetch(url, accept, body=None):
    return urllib.request.urlopen(urllib.request.Request(url, body, {"Accept": accept})).read()


def xmllint(page, args):
    checked = subprocess.run(["xmllint", "--noout", "--nonet", *args, "-"], input=page,
                             capture_output=True)
    return checked.returncode == 0, checked.stderr.decode(errors="replace")


def handset_pages_show(site, cid):
    pages = [("index", "", [CLASS]), ("newslist", "&id=" + cid, [CLASS, TITLE]),
             ("productlist", "", [PRODUCT, "<b>特级</b>", "/upfile/p"]),
             ("lyb", "", ["问<价>", "龙井 & 碧螺春有货吗", "<b>欢迎选购</b>"])]
    news = fetch(site + "/wap/newslist.asp?" + SITE + "&id=" + cid, "text/vnd.wap.wml").decode()
    article = re.search(r"shownews\.asp\?[^\"]*?id=(\d+)\"", news).group(1)
    pages.append(("shownews", "&id=" + article, [CLASS, TEXT]))  # the class names the card
    for markup, accept, args in (("WML", "text/vnd.wap.wml", ["--dtdvalid", WML_DTD]),
                                 ("XHTML", "application/xhtml+xml", [])):
        for name, query, shows in pages:
            raw = fetch(site + "/wap/" + name + ".asp?" + SITE + query, accept)
            ok, why = xmllint(raw, args)
            assert ok, (markup, name, why, raw.decode())
            text = raw.decode()
            assert ("<wml>" in text) == (markup == "WML"), (markup, name)
            # Texts a visitor or owner typed are escaped; the owner's markup arrives as markup.
            for shown in shows:
                found = shown in text if "<b>" in shown else shown in html.unescape(text)
                assert found, (markup, name, shown, text)
            assert "<价>" not in text and "<龙井>" not in text and "<快讯>" not in text, (markup, name)


if __name__ == "__main__":
    main(sys.argv[1])
