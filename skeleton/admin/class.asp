<%@ LANGUAGE="VBScript" %><%
' Class management for the signed-in owner. The guard sends a browser without one to the sign-in
' form, and refuses (403) a changing request without the owner's form token or from another
' site, before AdminClass_DoAction runs. AdminClass_DoAction reads what the forms post:
'   add:    form submit="新建", classname, type, sortid
'   rename: form submit="保存", id, edtclassname, edtsortid (only a class of this owner)
'   delete: query string act=del and id (the class and its contents, if this owner owns it)
' ClassesPage then lists the classes, or sends a changing request back to the list.
Set office = Server.CreateObject("backoffice.office")
office.Guard
Set admin = Server.CreateObject("wap.adminmanage")
admin.AdminClass_DoAction
office.ClassesPage
%>