<%@ LANGUAGE="VBScript" %><%
' Class management for the member the back office works for.
' The back office signs its operator in and stores the member in the session itself, before it
' sends the operator here: Session("userid") (the member's numeric id) and Session("UserName").
' That sign-in is not part of this site.
' AdminClass_DoAction reads what the forms below post:
'   add:    form submit="新建", classname, type, sortid
'   rename: form submit="保存", id, edtclassname, edtsortid (only a class of this member)
'   delete: query string act=del and id (the class and its contents, if this member owns it)
' It writes nothing; any failure ends the request with the host's error page.
Set admin = Server.CreateObject("wap.adminmanage")
admin.AdminClass_DoAction
%><?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Strict//EN" "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd">
<html xmlns="http://www.w3.org/1999/xhtml">
<head><title>栏目管理</title></head>
<body>
<h1>栏目管理</h1>
<form action="class.asp" method="post" accept-charset="utf-8">
<fieldset><legend>新建栏目</legend>
<p>名称：<input type="text" name="classname" maxlength="50" /></p>
<p>类型：<select name="type">
<option value="0">单页内容</option>
<option value="1">新闻列表</option>
<option value="2">产品展示</option>
<option value="3">留言板</option>
<option value="4">电话</option>
</select></p>
<p>排序：<input type="text" name="sortid" value="0" maxlength="6" /></p>
<p><input type="submit" name="submit" value="新建" /></p>
</fieldset>
</form>
<form action="class.asp" method="post" accept-charset="utf-8">
<fieldset><legend>修改栏目</legend>
<p>栏目编号：<input type="text" name="id" maxlength="6" /></p>
<p>新名称：<input type="text" name="edtclassname" maxlength="50" /></p>
<p>排序：<input type="text" name="edtsortid" value="0" maxlength="6" /></p>
<p><input type="submit" name="submit" value="保存" /></p>
</fieldset>
</form>
<form action="class.asp" method="get">
<fieldset><legend>删除栏目（连同其内容）</legend>
<p><input type="hidden" name="act" value="del" />栏目编号：<input type="text" name="id" maxlength="6" /></p>
<p><input type="submit" value="删除" /></p>
</fieldset>
</form>
</body>
</html>
