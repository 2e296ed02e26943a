<%@ LANGUAGE="VBScript" %><%
' Site creation for the member the back office works for.
' The back office signs its operator in and stores the member in the session itself, before it
' sends the operator here: Session("userid") (the member's numeric id) and Session("UserName")
' (the member's login name). That sign-in is not part of this site; without those values
' CreateSite refuses to run.
' This page stays in the web root's top folder: CreateSite maps "waphome/" + the member name
' relative to the folder of the calling page, so the member's folder becomes /waphome/NAME.
' Any failure ends the request with the host's error page, so the text below means success.
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
