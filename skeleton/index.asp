<!DOCTYPE html>
<html>
<head><meta charset="utf-8"/><title>wapsite</title></head>
<body>
<p>wapsite works: this web root is being served.</p>
<p>Member sites live in /waphome/NAME/; their pages are /wap/index.asp?userid=ID&amp;username=NAME&amp;siteid=ID.</p>
</body>
</html>
