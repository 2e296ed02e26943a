#!/usr/bin/python3
"""The back office in a real browser (headless Chromium, 360 px wide, no script needed by the
pages): an owner is sent to the sign-in form and back, adds, renames, moves and deletes a class
chosen from the list, sets the call number (a wrong one is explained) that the WML home page then
dials, changes the password, signs out and in again. Usage: back_office.py PATH/TO/wapsite"""
import subprocess
import sys
import tempfile
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select


def main(wapsite):
    with tempfile.TemporaryDirectory() as tmp:
        root = tmp + "/root"
        subprocess.run([wapsite, "init", root, "--demo"], check=True, stdout=subprocess.DEVNULL)
        server = subprocess.Popen([wapsite, "serve", "--root", root, "--listen", "127.0.0.1:0"],
                                  stdout=subprocess.PIPE, text=True)
        options = webdriver.ChromeOptions()
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=360,740"):
            options.add_argument(arg)
        browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        try:
            site = server.stdout.readline().strip().replace("listening on ", "")
            drive(browser, site)
        finally:
            browser.quit()
            server.terminate()
            server.wait()
    print("browser: sign-in, classes, settings and sign-out passed at 360 px")


def drive(browser, site):
    by_css = browser.find_element

    def sign_in(password):
        by_css(By.NAME, "username").send_keys("demo")
        by_css(By.NAME, "password").send_keys(password)
        by_css(By.CSS_SELECTOR, "form button").click()

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
    by_css(By.CSS_SELECTOR, "form button").click()
    assert browser.current_url == site + "/admin/class.asp", browser.current_url
    fits()

    by_css(By.NAME, "classname").send_keys("浏览器栏目")
    Select(by_css(By.NAME, "type")).select_by_visible_text("新闻列表")
    sortid = by_css(By.NAME, "sortid")
    sortid.clear()
    sortid.send_keys("7")
    by_css(By.CSS_SELECTOR, "button[value='新建']").click()
    row = row_of("浏览器栏目")
    assert row is not None and "新闻列表" in row.text
    name = row.find_element(By.NAME, "edtclassname")
    name.clear()
    name.send_keys("改名栏目")
    position = row.find_element(By.NAME, "edtsortid")
    position.clear()
    position.send_keys("0")
    row.find_element(By.CSS_SELECTOR, "button[value='保存']").click()
    first = browser.find_elements(By.CSS_SELECTOR, "tr.row")[0]
    assert first.find_element(By.NAME, "edtclassname").get_attribute("value") == "改名栏目"
    row_of("改名栏目").find_element(By.XPATH, ".//form[contains(@action,'act=del')]//button").click()
    assert row_of("改名栏目") is None

    browser.get(site + "/admin/settings.asp")
    fits()
    phone = by_css(By.NAME, "dircall")
    phone.clear()
    phone.send_keys("call me")
    phone.submit()
    assert "电话号码只能包含" in browser.page_source
    phone = by_css(By.NAME, "dircall")
    phone.clear()
    phone.send_keys("+86 571-1234")
    phone.submit()
    assert "已保存" in browser.page_source
    wml = urllib.request.urlopen(urllib.request.Request(
        site + "/wap/index.asp?userid=1&username=demo&siteid=1",
        headers={"Accept": "text/vnd.wap.wml"})).read().decode()
    assert "wtai://wp/mc;+86 571-1234" in wml, wml

    by_css(By.NAME, "current").send_keys("demo")
    by_css(By.NAME, "password").send_keys("new-pass")
    by_css(By.NAME, "confirm").send_keys("new-pass")
    by_css(By.NAME, "confirm").submit()
    assert "已保存" in browser.page_source
    by_css(By.CSS_SELECTOR, "nav button").click()
    assert by_css(By.NAME, "password") is not None
    sign_in("new-pass")
    assert "站点概览" in browser.page_source and "修改密码" in browser.page_source


if __name__ == "__main__":
    main(sys.argv[1])
