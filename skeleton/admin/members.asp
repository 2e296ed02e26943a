<%@ LANGUAGE="VBScript" %><%
' The members of the signed-in owner's site: the visitors who may log in on its pages.
' Changes are forms posted here with the owner's token (field token) and a field act.
Set office = Server.CreateObject("backoffice.office")
office.Guard
office.MembersPage
%>