<?xml version="1.0" encoding="UTF-8"?>
<!-- The XML record file shown as tables in a browser that applies
     stylesheets: per user the first login and the last logout, every record
     in order, and the accesses to this machine's shares. Name it in the
     settings ([Config] XSLFile=report.xsl) and keep it beside the records. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" doctype-system="about:legacy-compat"/>

  <xsl:key name="byName" match="/root/login/user | /root/logout/user" use="@name"/>

  <xsl:template name="moment">
    <xsl:param name="r" select="."/>
    <xsl:value-of select="concat($r/@year, '/', $r/@month, '/', $r/@day, ' ', $r/@hour, ':', $r/@min, ':', $r/@sec)"/>
  </xsl:template>

  <xsl:template name="duration">
    <xsl:param name="t"/>
    <xsl:if test="$t">
      <xsl:value-of select="concat($t/@hour, ':', $t/@min, ':', $t/@sec)"/>
    </xsl:if>
  </xsl:template>

  <xsl:template match="/">
    <html lang="ja">
      <head>
        <meta charset="utf-8"/>
        <title>記録</title>
        <style>
          body{font-family:"IPAexGothic","IPAGothic","Noto Sans CJK JP",sans-serif;color:#000;background:#fff;margin:1.2em}
          h1{font-size:1.35em}h2{font-size:1.1em;margin:1.4em 0 .4em}
          table{border-collapse:collapse;width:100%}
          th,td{border-bottom:1px solid #c8c8c8;padding:2px 6px;text-align:left;vertical-align:top}
          td.t{white-space:nowrap;font-variant-numeric:tabular-nums}
          @media print{body{margin:0;font-size:9pt}tr{break-inside:avoid}thead{display:table-header-group}}
        </style>
      </head>
      <body>
        <h1>記録</h1>
        <xsl:apply-templates select="root"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="root">
    <h2>ユーザーごと</h2>
    <table>
      <thead><tr><th>ユーザー名</th><th>最初のログイン</th><th>最後のログアウト</th><th>ログイン回数</th></tr></thead>
      <tbody>
        <xsl:for-each select="(login/user | logout/user)[generate-id() = generate-id(key('byName', @name)[1])]">
          <xsl:variable name="all" select="key('byName', @name)"/>
          <tr>
            <td><xsl:value-of select="@name"/></td>
            <td class="t">
              <xsl:for-each select="$all/parent::login">
                <xsl:sort select="concat(@year, @month, @day, @hour, @min, @sec)"/>
                <xsl:if test="position() = 1"><xsl:call-template name="moment"/></xsl:if>
              </xsl:for-each>
            </td>
            <td class="t">
              <xsl:for-each select="$all/parent::logout">
                <xsl:sort select="concat(@year, @month, @day, @hour, @min, @sec)" order="descending"/>
                <xsl:if test="position() = 1"><xsl:call-template name="moment"/></xsl:if>
              </xsl:for-each>
            </td>
            <td class="t"><xsl:value-of select="count($all/parent::login)"/></td>
          </tr>
        </xsl:for-each>
      </tbody>
    </table>

    <h2>ログインとログアウト</h2>
    <table>
      <thead><tr><th>時刻</th><th>記録</th><th>ユーザー名</th></tr></thead>
      <tbody>
        <xsl:for-each select="login | logout">
          <tr>
            <td class="t"><xsl:call-template name="moment"/></td>
            <td><xsl:choose><xsl:when test="self::login">ログイン</xsl:when><xsl:otherwise>ログアウト</xsl:otherwise></xsl:choose></td>
            <td>
              <xsl:for-each select="user">
                <xsl:if test="position() &gt; 1">、</xsl:if>
                <xsl:value-of select="@name"/>
              </xsl:for-each>
            </td>
          </tr>
        </xsl:for-each>
      </tbody>
    </table>

    <h2>共有のアクセス</h2>
    <table>
      <thead><tr><th>時刻</th><th>端末</th><th>ユーザー名</th><th>共有</th><th>アカウント</th><th>ファイル</th><th>接続時間</th><th>アクセス時間</th></tr></thead>
      <tbody>
        <xsl:for-each select="access/user">
          <xsl:variable name="session" select="."/>
          <xsl:choose>
            <xsl:when test="directory">
              <xsl:for-each select="directory">
                <xsl:call-template name="access-row">
                  <xsl:with-param name="session" select="$session"/>
                  <xsl:with-param name="directory" select="."/>
                </xsl:call-template>
              </xsl:for-each>
            </xsl:when>
            <xsl:otherwise>
              <xsl:call-template name="access-row">
                <xsl:with-param name="session" select="$session"/>
              </xsl:call-template>
            </xsl:otherwise>
          </xsl:choose>
        </xsl:for-each>
      </tbody>
    </table>
  </xsl:template>

  <xsl:template name="access-row">
    <xsl:param name="session"/>
    <xsl:param name="directory" select="/.."/>
    <tr>
      <td class="t"><xsl:call-template name="moment"><xsl:with-param name="r" select="$session/parent::access"/></xsl:call-template></td>
      <td><xsl:value-of select="$session/@machine"/></td>
      <td><xsl:value-of select="$session/@account"/></td>
      <td><xsl:value-of select="$directory/@name"/></td>
      <td><xsl:value-of select="$directory/@account"/></td>
      <td>
        <xsl:for-each select="$directory/file">
          <xsl:if test="position() &gt; 1"><br/></xsl:if>
          <xsl:value-of select="."/>
        </xsl:for-each>
      </td>
      <td class="t"><xsl:call-template name="duration"><xsl:with-param name="t" select="$session/connecttime"/></xsl:call-template></td>
      <td class="t"><xsl:call-template name="duration"><xsl:with-param name="t" select="$session/accesstime"/></xsl:call-template></td>
    </tr>
  </xsl:template>
</xsl:stylesheet>
