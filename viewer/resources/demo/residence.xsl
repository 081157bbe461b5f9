<?xml version="1.0" encoding="utf-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="utf-8"/>
<xsl:template match="/residence">
<html>
<head>
<title><xsl:value-of select="title"/></title>
<style>
  body { font-family: "Noto Sans CJK KR", sans-serif; margin: 36px; color: #111; }
  .number { font-size: 12px; color: #555; }
  h1 { text-align: center; letter-spacing: 6px; margin: 18px 0 6px; }
  .purpose { text-align: center; font-size: 13px; margin-bottom: 20px; }
  table { border-collapse: collapse; width: 100%; margin-top: 12px; }
  th, td { border: 1px solid #333; padding: 7px 10px; text-align: center; font-size: 14px; }
  th { background: #eef1f6; }
  .head th { width: 22%; }
  .head td { text-align: left; }
  .issued { text-align: center; margin-top: 36px; font-size: 15px; }
  .office { text-align: center; font-size: 20px; font-weight: bold; margin-top: 14px; letter-spacing: 4px; }
  .seal { display: inline-block; border: 3px solid #c0392b; color: #c0392b; border-radius: 6px;
          padding: 4px 8px; margin-left: 10px; font-size: 14px; }
</style>
</head>
<body>
  <div class="number"><xsl:value-of select="number"/></div>
  <h1><xsl:value-of select="title"/></h1>
  <div class="purpose"><xsl:value-of select="purpose"/></div>
  <table class="head">
    <tr><th>세대주 성명</th><td><xsl:value-of select="head/name"/></td></tr>
    <tr><th>주소</th><td><xsl:value-of select="head/address"/></td></tr>
    <tr><th>세대구성 사유 및 일자</th><td><xsl:value-of select="head/formed"/></td></tr>
  </table>
  <table>
    <tr><th>번호</th><th>세대주 관계</th><th>성명</th><th>주민등록번호</th><th>전입일</th><th>변동사유</th></tr>
    <xsl:for-each select="members/member">
      <tr>
        <td><xsl:value-of select="no"/></td>
        <td><xsl:value-of select="relation"/></td>
        <td><xsl:value-of select="name"/></td>
        <td><xsl:value-of select="id"/></td>
        <td><xsl:value-of select="moved"/></td>
        <td><xsl:value-of select="cause"/></td>
      </tr>
    </xsl:for-each>
  </table>
  <div class="issued"><xsl:value-of select="issued"/></div>
  <div class="office"><xsl:value-of select="office"/><span class="seal">직인</span></div>
</body>
</html>
</xsl:template>
</xsl:stylesheet>
