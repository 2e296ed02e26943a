<%@ LANGUAGE="VBScript" %><%
' Site creation for the signed-in owner: Session("userid") and Session("UserName"), which the
' back office's sign-in stores. The guard sends a browser without an owner to the sign-in form, a
' GET to the settings page (where the template is chosen), and refuses (403) a POST without the
' owner's form token or from another site, before CreateSite runs.
' This page stays in the web root's top folder: CreateSite maps "waphome/" + the member name
' relative to the folder of the calling page, so the member's folder becomes /waphome/NAME.
' Any failure ends the request with the host's error page, so the text below means success.
Set office = Server.CreateObject("backoffice.office")
office.GuardChange
Set admin = Server.CreateObject("wap.adminmanage")
admin.CreateSite
%><?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Strict//EN" "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd">
<html xmlns="http://www.w3.org/1999/xhtml">
<head><title>站点已创建</title></head>
<body>
<p>站点已创建：会员文件夹、上传文件夹、模板文件和入口页 index.asp 都已就绪。</p>
<p><a href="admin/class.asp">管理栏目</a></p>
</body>
</html>
