<?xml version="1.0" encoding="utf-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="utf-8"/>
<xsl:template match="/receipt">
<html>
<head>
<title><xsl:value-of select="title"/></title>
<style>
  body { font-family: "Noto Sans CJK KR", sans-serif; margin: 40px; }
  h1 { text-align: center; letter-spacing: 8px; }
  table { border-collapse: collapse; width: 100%; margin-top: 24px; }
  th, td { border: 1px solid #444; padding: 8px 12px; text-align: left; }
  th { background: #eef1f6; width: 30%; }
  .office { text-align: right; margin-top: 40px; font-size: 18px; }
</style>
</head>
<body>
<h1><xsl:value-of select="title"/></h1>
<table>
  <tr><th>접수번호</th><td><xsl:value-of select="number"/></td></tr>
  <tr><th>신청인</th><td><xsl:value-of select="applicant"/></td></tr>
  <tr><th>신청 민원</th><td><xsl:value-of select="service"/></td></tr>
  <tr><th>접수 일시</th><td><xsl:value-of select="received"/></td></tr>
</table>
<p class="office"><xsl:value-of select="office"/></p>
</body>
</html>
</xsl:template>
</xsl:stylesheet>
