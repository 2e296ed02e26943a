<%@ LANGUAGE="VBScript" %><%
' Ends the owner's sign-in (a POST with the form token), then shows the sign-in form.
Set office = Server.CreateObject("backoffice.office")
office.Guard
office.SignOut
%>