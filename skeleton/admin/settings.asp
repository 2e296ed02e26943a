<%@ LANGUAGE="VBScript" %><%
' The signed-in owner's site settings: call-entry number, site template, password.
Set office = Server.CreateObject("backoffice.office")
office.Guard
office.SettingsPage
%>