<%@ LANGUAGE="VBScript" %><%
' The back office's front page: the sign-in form (fields username and password, posted here) for
' a browser without a signed-in owner, the owner's dashboard otherwise.
Set office = Server.CreateObject("backoffice.office")
office.Home
%>