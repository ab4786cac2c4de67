<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AccessListWindow</name>
    <message>
        <source>端末</source>
        <translation>Terminal</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ名</source>
        <translation>User Name</translation>
    </message>
    <message>
        <source>接続時間</source>
        <translation>Connect Time</translation>
    </message>
    <message>
        <source>ｱｸｾｽ時間</source>
        <translation>Access Time</translation>
    </message>
    <message>
        <source>ﾒｯｾｰｼﾞ</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>監視ﾘｽﾄ(&amp;S)</source>
        <translation>&amp;Watch List</translation>
    </message>
    <message>
        <source>&amp;Message...</source>
        <translation>&amp;Message...</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>メッセージ送信(&amp;M)...</source>
        <translation>Send &amp;Message...</translation>
    </message>
    <message>
        <source>Access List</source>
        <translation>Access List</translation>
    </message>
</context>
<context>
    <name>AddEntriesDialog</name>
    <message>
        <source>Addition Setting</source>
        <translation>Add Terminals</translation>
    </message>
    <message>
        <source>Dropされた端末をすべて追加します</source>
        <translation>Add all the dropped terminals</translation>
    </message>
    <message>
        <source>に所属する端末をすべて追加します</source>
        <translation>Add all the terminals of this group</translation>
    </message>
    <message>
        <source>監視端末へ追加</source>
        <translation>Add to the watch list</translation>
    </message>
    <message>
        <source>自動(&amp;A)</source>
        <translation>&amp;Automatically</translation>
    </message>
    <message>
        <source>手動(&amp;M)</source>
        <translation>&amp;Manually, one by one</translation>
    </message>
    <message>
        <source>ユーザー名(&amp;U)</source>
        <translation>&amp;User name</translation>
    </message>
    <message>
        <source>端末名を使用</source>
        <translation>Use the terminal name</translation>
    </message>
    <message>
        <source>コメントを使用</source>
        <translation>Use the comment</translation>
    </message>
    <message>
        <source>IPアドレス(Ping)で調査する(&amp;S)</source>
        <translation>Check by IP addre&amp;ss (ping)</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>BackgroundPicture</name>
    <message>
        <source>この画像は背景に設定できません</source>
        <translation>This picture cannot be used as the background.</translation>
    </message>
    <message>
        <source>背景を消去します。
よろしいですか？</source>
        <translation>The background picture will be removed.
Are you sure?</translation>
    </message>
    <message>
        <source>ビットマップ(*.bmp);;Jpegイメージ(*.jpg)</source>
        <translation>Bitmaps (*.bmp);;JPEG pictures (*.jpg)</translation>
    </message>
</context>
<context>
    <name>DayReport</name>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>(名前なし)</source>
        <translation>(no name)</translation>
    </message>
    <message>
        <source>前日から</source>
        <translation>since the day before</translation>
    </message>
    <message>
        <source>在席中</source>
        <translation>still present</translation>
    </message>
    <message>
        <source>アクセスの記録はありません。</source>
        <translation>No access records.</translation>
    </message>
    <message>
        <source>時刻</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>端末</source>
        <translation>Terminal</translation>
    </message>
    <message>
        <source>ユーザー名</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>共有</source>
        <translation>Share</translation>
    </message>
    <message>
        <source>アカウント</source>
        <translation>Account</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>接続時間</source>
        <translation>Connected for</translation>
    </message>
    <message>
        <source>アクセス時間</source>
        <translation>Accessed for</translation>
    </message>
    <message>
        <source>監視リストにない名前</source>
        <translation>Names not on the watch list</translation>
    </message>
    <message>
        <source>ja</source>
        <comment>language code of the page</comment>
        <translation>en</translation>
    </message>
    <message>
        <source>在席レポート %1</source>
        <translation>Presence report %1</translation>
    </message>
    <message>
        <source>0:00 から 24:00 まで</source>
        <translation>From 0:00 to 24:00</translation>
    </message>
    <message>
        <source>%1 現在</source>
        <translation>As of %1</translation>
    </message>
    <message>
        <source>この日のログインとログアウトの記録はありません。</source>
        <translation>No login or logout records for this day.</translation>
    </message>
    <message>
        <source>最初のログイン</source>
        <translation>First login</translation>
    </message>
    <message>
        <source>最後のログアウト</source>
        <translation>Last logout</translation>
    </message>
    <message>
        <source>在席時間</source>
        <translation>Time present</translation>
    </message>
    <message>
        <source>全員在席</source>
        <translation>All present</translation>
    </message>
    <message>
        <source>全員不在</source>
        <translation>All away</translation>
    </message>
    <message>
        <source>在席</source>
        <translation>Present</translation>
    </message>
    <message>
        <source>前日から、または作成時に在席中</source>
        <translation>Present since the day before, or still present when written</translation>
    </message>
    <message>
        <source>共有のアクセス</source>
        <translation>Share access</translation>
    </message>
    <message>
        <source>読めなかった記録</source>
        <translation>Records that could not be read</translation>
    </message>
    <message>
        <source>ファイル名が不正です: %1</source>
        <translation>The record file name is not valid: %1</translation>
    </message>
    <message>
        <source>%1 行目: %2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>%1-%2 行目: %3</source>
        <translation>lines %1-%2: %3</translation>
    </message>
    <message>
        <source>ほかに %1 か所、読めないところがあります</source>
        <translation>%1 more places could not be read</translation>
    </message>
    <message>
        <source>記録の見出しの外にある行を読み飛ばしました</source>
        <translation>Skipped a line outside any record heading</translation>
    </message>
    <message>
        <source>日時の読めない記録を読み飛ばしました</source>
        <translation>Skipped a record whose date and time could not be read</translation>
    </message>
    <message>
        <source>終わりの &quot;.&quot; がない記録です (読めたところは使いました)</source>
        <translation>A record without its closing &quot;.&quot; (what could be read was used)</translation>
    </message>
    <message>
        <source>アクセス記録として読めない行を読み飛ばしました</source>
        <translation>Skipped a line that could not be read as an access record</translation>
    </message>
    <message>
        <source>&lt;%1&gt; は記録ではないので読み飛ばしました</source>
        <translation>Skipped &lt;%1&gt;, which is not a record</translation>
    </message>
    <message>
        <source>XML を読む準備ができませんでした</source>
        <translation>XML reading could not be prepared</translation>
    </message>
    <message>
        <source>ルート要素が &lt;root&gt; ではありません</source>
        <translation>The root element is not &lt;root&gt;</translation>
    </message>
    <message>
        <source>XML の誤りです (読めたところだけを使いました)</source>
        <translation>An XML error (only what could be read was used)</translation>
    </message>
    <message>
        <source>XML として読めません</source>
        <translation>Cannot be read as XML</translation>
    </message>
    <message>
        <source>読めません: %1</source>
        <translation>Cannot be read: %1</translation>
    </message>
    <message>
        <source>監視停止</source>
        <translation>watch stopped</translation>
    </message>
    <message>
        <source>終日不在</source>
        <translation>absent all day</translation>
    </message>
    <message>
        <source>翌日へ</source>
        <translation>on into the next day</translation>
    </message>
    <message>
        <source>この日の記録はありません。</source>
        <translation>No records for this day.</translation>
    </message>
</context>
<context>
    <name>EntryDialog</name>
    <message>
        <source>Entry Separator Name</source>
        <translation>Separator Name</translation>
    </message>
    <message>
        <source>Entry User Name</source>
        <translation>Terminal User Name</translation>
    </message>
    <message>
        <source>このセパレータの名前を入力して下さい。(&amp;U)</source>
        <translation>&amp;Name of this separator:</translation>
    </message>
    <message>
        <source>この端末に対するﾕｰｻﾞｰ名を入力して下さい。(&amp;U)</source>
        <translation>&amp;User name for this terminal:</translation>
    </message>
    <message>
        <source>ﾘｿｰｽ名(N)</source>
        <translation>Resource &amp;name</translation>
    </message>
    <message>
        <source>ﾘｿｰｽ名</source>
        <translation>Resource name</translation>
    </message>
    <message>
        <source>ﾛｸﾞｲﾝAction</source>
        <translation>Login action</translation>
    </message>
    <message>
        <source>ﾛｸﾞｱｳﾄAction</source>
        <translation>Logout action</translation>
    </message>
    <message>
        <source>IPｱﾄﾞﾚｽ</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>IPアドレス(Ping)で調査する(&amp;S)</source>
        <translation>Check by IP addre&amp;ss (ping)</translation>
    </message>
    <message>
        <source>ｱｲｺﾝ</source>
        <translation>Icon</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>セパレータ</source>
        <translation>Separator</translation>
    </message>
    <message>
        <source>このリソース名は使えません。</source>
        <translation>This resource name cannot be used.</translation>
    </message>
    <message>
        <source>有効なIPアドレスを入力してください。</source>
        <translation>Enter a valid IP address.</translation>
    </message>
    <message>
        <source>ﾘｿｰｽ名、若しくはIPを入力して下さい。</source>
        <translation>Enter a resource name or an IP address.</translation>
    </message>
    <message>
        <source>このセパレータの名前を入力して下さい。</source>
        <translation>Enter a name for this separator.</translation>
    </message>
    <message>
        <source>この端末に対するﾕｰｻﾞｰ名を入力して下さい。</source>
        <translation>Enter a user name for this terminal.</translation>
    </message>
</context>
<context>
    <name>HelpKeyFilter</name>
    <message>
        <source>起動できません！</source>
        <translation>The help cannot be opened.</translation>
    </message>
</context>
<context>
    <name>ListEditor</name>
    <message>
        <source>Corvane List</source>
        <translation>Corvane Watch List</translation>
    </message>
    <message>
        <source>監視可能端末(&amp;N)</source>
        <translation>Terminals on the &amp;network</translation>
    </message>
    <message>
        <source>ｺﾒﾝﾄを先に表示(&amp;C)</source>
        <translation>Show co&amp;mments first</translation>
    </message>
    <message>
        <source>ﾃｽﾄ</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>適用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>ﾛｸﾞｲﾝAction</source>
        <translation>Login action</translation>
    </message>
    <message>
        <source>ﾛｸﾞｱｳﾄAction</source>
        <translation>Logout action</translation>
    </message>
    <message>
        <source>&amp;&gt;&gt;</source>
        <translation>&amp;&gt;&gt;</translation>
    </message>
    <message>
        <source>&amp;&lt;&lt;</source>
        <translation>&amp;&lt;&lt;</translation>
    </message>
    <message>
        <source>ｾﾊﾟﾚｰﾀ</source>
        <translation>Separator</translation>
    </message>
    <message>
        <source>I&amp;P</source>
        <translation>I&amp;P</translation>
    </message>
    <message>
        <source>監視端末(&amp;T)</source>
        <translation>Watched &amp;terminals</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ名(&amp;U)...</source>
        <translation>&amp;User Name...</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>ｳｲﾝﾄﾞｳ(&amp;F)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>保存して閉じる(&amp;O)</source>
        <translation>Save and Cl&amp;ose</translation>
    </message>
    <message>
        <source>保存しないで閉じる(&amp;C)</source>
        <translation>&amp;Close without Saving</translation>
    </message>
    <message>
        <source>状態(&amp;S)</source>
        <translation>&amp;Status</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾊﾟﾃｨ(&amp;P)</source>
        <translation>&amp;Properties</translation>
    </message>
    <message>
        <source>監視(&amp;W)</source>
        <translation>W&amp;atch</translation>
    </message>
    <message>
        <source>追加(&amp;A)</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>すべて削除(&amp;C)</source>
        <translation>Delete A&amp;ll</translation>
    </message>
    <message>
        <source>ｾﾊﾟﾚｰﾀを追加(&amp;S)</source>
        <translation>Add &amp;Separator</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>大きいｱｲｺﾝ(&amp;G)</source>
        <translation>Lar&amp;ge Icons</translation>
    </message>
    <message>
        <source>小さいｱｲｺﾝ(&amp;M)</source>
        <translation>S&amp;mall Icons</translation>
    </message>
    <message>
        <source>一覧(&amp;L)</source>
        <translation>&amp;List</translation>
    </message>
    <message>
        <source>詳細(&amp;D)</source>
        <translation>&amp;Details</translation>
    </message>
    <message>
        <source>ソート(&amp;Z)</source>
        <translation>S&amp;ort</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ名(&amp;1)</source>
        <translation>&amp;1 User Name</translation>
    </message>
    <message>
        <source>ﾘｿｰｽ名(&amp;2)</source>
        <translation>&amp;2 Resource Name</translation>
    </message>
    <message>
        <source>状態(&amp;3)</source>
        <translation>&amp;3 Status</translation>
    </message>
    <message>
        <source>ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ(&amp;4)</source>
        <translation>&amp;4 Domain/Workgroup</translation>
    </message>
    <message>
        <source>ﾛｸﾞｲﾝAction(&amp;5)</source>
        <translation>&amp;5 Login Action</translation>
    </message>
    <message>
        <source>ﾛｸﾞｱｳﾄAction(&amp;6)</source>
        <translation>&amp;6 Logout Action</translation>
    </message>
    <message>
        <source>ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ(&amp;7)</source>
        <translation>&amp;7 Network Provider</translation>
    </message>
    <message>
        <source>IP(&amp;8)</source>
        <translation>&amp;8 IP</translation>
    </message>
    <message>
        <source>IP調査(&amp;9)</source>
        <translation>&amp;9 IP Check</translation>
    </message>
    <message>
        <source>ソートを元に戻す(&amp;0)</source>
        <translation>&amp;0 Original Order</translation>
    </message>
    <message>
        <source>リソース状態取得エラーです。</source>
        <translation>The state of the resource could not be read.</translation>
    </message>
    <message>
        <source>追加する端末はありません。</source>
        <translation>There are no terminals to add.</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙ(*.wav)|*.wav|実行形式のﾌｧｲﾙ(*.exe)|*.exe|ﾊﾞｯﾁﾌｧｲﾙ(*.bat)|*.bat|すべてのﾌｧｲﾙ(*.*)|*.*</source>
        <translation>Sound files (*.wav)|*.wav|Programs (*.exe)|*.exe|Batch files (*.bat)|*.bat|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>追加処理を続行しますか？</source>
        <translation>Go on adding terminals?</translation>
    </message>
    <message>
        <source>監視端末を１つだけ選択して下さい。</source>
        <translation>Select exactly one watched terminal.</translation>
    </message>
    <message>
        <source>監視端末をすべて削除します。
よろしいですか？</source>
        <translation>All watched terminals will be removed.
Are you sure?</translation>
    </message>
    <message>
        <source>監視端末を選択して下さい。</source>
        <translation>Select a watched terminal.</translation>
    </message>
    <message>
        <source>パラメータに置き換え文字「%」があります。
</source>
        <translation>The action holds the placeholder character &quot;%&quot;.
</translation>
    </message>
    <message>
        <source>ネットワーク全体</source>
        <translation>Entire Network</translation>
    </message>
    <message>
        <source>%1 検索中...</source>
        <translation>Searching %1...</translation>
    </message>
    <message>
        <source>%1 調査中...</source>
        <translation>Checking %1...</translation>
    </message>
</context>
<context>
    <name>MainTray</name>
    <message>
        <source>監視ﾘｽﾄ(&amp;C)</source>
        <translation>&amp;Watch List</translation>
    </message>
    <message>
        <source>ｱｸｾｽﾘｽﾄ(&amp;A)</source>
        <translation>&amp;Access List</translation>
    </message>
    <message>
        <source>ログイン</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>ログアウト</source>
        <translation>Logout</translation>
    </message>
    <message>
        <source>監視エラー</source>
        <translation>Watch Error</translation>
    </message>
    <message>
        <source>アクセス</source>
        <translation>Access</translation>
    </message>
    <message>
        <source>ログを開く(&amp;O)</source>
        <translation>&amp;Open Records</translation>
    </message>
    <message>
        <source>ログイン(&amp;I)</source>
        <translation>Log&amp;in</translation>
    </message>
    <message>
        <source>ログアウト(&amp;O)</source>
        <translation>Log&amp;out</translation>
    </message>
    <message>
        <source>アクセス(&amp;A)</source>
        <translation>&amp;Access</translation>
    </message>
    <message>
        <source>レポート(&amp;R)</source>
        <translation>&amp;Report</translation>
    </message>
    <message>
        <source>終了(&amp;E)</source>
        <translation>E&amp;xit</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>ｳｲﾝﾄﾞｳ(&amp;F)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>常駐(&amp;S)</source>
        <translation>&amp;Stay As</translation>
    </message>
    <message>
        <source>ｱｲｺﾝ(&amp;I)</source>
        <translation>Taskbar &amp;Icon</translation>
    </message>
    <message>
        <source>ﾀｽｸﾄﾚｲ(&amp;T)</source>
        <translation>System &amp;Tray</translation>
    </message>
    <message>
        <source>ｱｲｺﾝ＋ﾀｽｸﾄﾚｲ(&amp;Z)</source>
        <translation>Icon &amp;and Tray</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>端末(&amp;S)</source>
        <translation>&amp;Terminal</translation>
    </message>
    <message>
        <source>お休み(&amp;R)</source>
        <translation>&amp;Rest</translation>
    </message>
    <message>
        <source>お休み(&amp;H)</source>
        <translation>&amp;Rest</translation>
    </message>
    <message>
        <source>調査(&amp;R)</source>
        <translation>&amp;Check</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>編集(&amp;E)...</source>
        <translation>&amp;Edit List...</translation>
    </message>
    <message>
        <source>大きいｱｲｺﾝ(&amp;G)</source>
        <translation>Lar&amp;ge Icons</translation>
    </message>
    <message>
        <source>小さいｱｲｺﾝ(&amp;M)</source>
        <translation>S&amp;mall Icons</translation>
    </message>
    <message>
        <source>一覧(&amp;L)</source>
        <translation>&amp;List</translation>
    </message>
    <message>
        <source>詳細(&amp;D)</source>
        <translation>&amp;Details</translation>
    </message>
    <message>
        <source>ソート(&amp;S)</source>
        <translation>&amp;Sort</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ名(&amp;1)</source>
        <translation>&amp;1 User Name</translation>
    </message>
    <message>
        <source>ﾘｿｰｽ名(&amp;2)</source>
        <translation>&amp;2 Resource Name</translation>
    </message>
    <message>
        <source>状態(&amp;3)</source>
        <translation>&amp;3 Status</translation>
    </message>
    <message>
        <source>ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ(&amp;4)</source>
        <translation>&amp;4 Domain/Workgroup</translation>
    </message>
    <message>
        <source>ﾛｸﾞｲﾝAction(&amp;5)</source>
        <translation>&amp;5 Login Action</translation>
    </message>
    <message>
        <source>ﾛｸﾞｱｳﾄAction(&amp;6)</source>
        <translation>&amp;6 Logout Action</translation>
    </message>
    <message>
        <source>ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ(&amp;7)</source>
        <translation>&amp;7 Network Provider</translation>
    </message>
    <message>
        <source>IP(&amp;8)</source>
        <translation>&amp;8 IP</translation>
    </message>
    <message>
        <source>IP調査(&amp;9)</source>
        <translation>&amp;9 IP Check</translation>
    </message>
    <message>
        <source>Result(&amp;A)</source>
        <translation>&amp;A Result</translation>
    </message>
    <message>
        <source>MAC(&amp;B)</source>
        <translation>&amp;B MAC</translation>
    </message>
    <message>
        <source>ソートを元に戻す(&amp;0)</source>
        <translation>&amp;0 Original Order</translation>
    </message>
    <message>
        <source>ソートを元に戻す(&amp;S)</source>
        <translation>Original &amp;Sort Order</translation>
    </message>
    <message>
        <source>列並びを元に戻す(&amp;C)</source>
        <translation>Original Col&amp;umn Order</translation>
    </message>
    <message>
        <source>ｱｲｺﾝの固定(&amp;F)</source>
        <translation>&amp;Fix Icons in Place</translation>
    </message>
    <message>
        <source>ﾘﾌﾚｯｼｭ(&amp;R)</source>
        <translation>&amp;Refresh</translation>
    </message>
    <message>
        <source>位置合わせ(&amp;A)</source>
        <translation>&amp;Align</translation>
    </message>
    <message>
        <source>上を揃える(&amp;V)</source>
        <translation>Align &amp;Tops</translation>
    </message>
    <message>
        <source>左を揃える(&amp;H)</source>
        <translation>Align &amp;Left Edges</translation>
    </message>
    <message>
        <source>均等に配置</source>
        <translation>Space Evenly</translation>
    </message>
    <message>
        <source>ﾒｯｾｰｼﾞの送信(&amp;M)...</source>
        <translation>Send &amp;Message...</translation>
    </message>
    <message>
        <source>ﾒｯｾｰｼﾞ送信(&amp;M)...</source>
        <translation>Send &amp;Message...</translation>
    </message>
    <message>
        <source>&amp;WakeOnLan</source>
        <translation>&amp;Wake-on-LAN</translation>
    </message>
    <message>
        <source>&amp;WakeOnLAN</source>
        <translation>&amp;Wake-on-LAN</translation>
    </message>
    <message>
        <source>MACアドレスの取得(&amp;M)</source>
        <translation>Get &amp;MAC Address</translation>
    </message>
    <message>
        <source>MACアドレス取得(&amp;M)</source>
        <translation>Get &amp;MAC Address</translation>
    </message>
    <message>
        <source>MACアドレスの消去(&amp;C)</source>
        <translation>&amp;Clear MAC Address</translation>
    </message>
    <message>
        <source>MACアドレス消去(&amp;C)</source>
        <translation>&amp;Clear MAC Address</translation>
    </message>
    <message>
        <source>起動(&amp;W)</source>
        <translation>&amp;Wake Up</translation>
    </message>
    <message>
        <source>開く(&amp;O)</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>エクスプローラで開く(&amp;E)</source>
        <translation>Open in &amp;File Manager</translation>
    </message>
    <message>
        <source>ブラウザで開く(&amp;B)</source>
        <translation>Open in Web &amp;Browser</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾊﾟﾃｨ(&amp;P)...</source>
        <translation>&amp;Properties...</translation>
    </message>
    <message>
        <source>リスト保存(&amp;S)</source>
        <translation>&amp;Save List</translation>
    </message>
    <message>
        <source>背景(&amp;B)</source>
        <translation>&amp;Background</translation>
    </message>
    <message>
        <source>背景画像の選択(&amp;S)...</source>
        <translation>&amp;Select Picture...</translation>
    </message>
    <message>
        <source>アイコンの文字背景を透過(&amp;T)</source>
        <translation>&amp;Transparent Behind Icon Texts</translation>
    </message>
    <message>
        <source>アイコンの文字色(&amp;C)...</source>
        <translation>Icon Text &amp;Colour...</translation>
    </message>
    <message>
        <source>表示形式(&amp;P)</source>
        <translation>&amp;Placement</translation>
    </message>
    <message>
        <source>中央(&amp;C)</source>
        <translation>&amp;Centred</translation>
    </message>
    <message>
        <source>左上(&amp;L)</source>
        <translation>Top &amp;Left</translation>
    </message>
    <message>
        <source>タイル(&amp;T)</source>
        <translation>&amp;Tiled</translation>
    </message>
    <message>
        <source>ウインドウに合わせる(&amp;F)</source>
        <translation>&amp;Fit to Window</translation>
    </message>
    <message>
        <source>背景の消去(&amp;E)</source>
        <translation>&amp;Remove Picture</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟを開く(&amp;O)</source>
        <translation>&amp;Open Help</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報(&amp;V)...</source>
        <translation>&amp;Version Information...</translation>
    </message>
    <message>
        <source>サービスより停止してください。</source>
        <translation>Stop it through the service.</translation>
    </message>
    <message>
        <source>起動できません！</source>
        <translation>The program could not be started.</translation>
    </message>
    <message>
        <source>リストを保存します。
よろしいですか？</source>
        <translation>The list will be saved.
Are you sure?</translation>
    </message>
    <message>
        <source>中止(&amp;D)</source>
        <translation>Sto&amp;p</translation>
    </message>
    <message>
        <source>ﾘｽﾄ編集(&amp;L)..</source>
        <translation>Edit &amp;List...</translation>
    </message>
    <message>
        <source>監視端末の編集を行います。</source>
        <translation>Edits the watched terminals.</translation>
    </message>
    <message>
        <source>ｱｸｾｽﾘｽﾄ(&amp;A)</source>
        <translation>&amp;Access List</translation>
    </message>
    <message>
        <source>この端末にｱｸｾｽしている端末の一覧を表示します。</source>
        <translation>Shows the terminals that are using this computer&apos;s shares.</translation>
    </message>
    <message>
        <source>設定(&amp;C)...</source>
        <translation>&amp;Settings...</translation>
    </message>
    <message>
        <source>設定の編集を行います。</source>
        <translation>Edits the settings.</translation>
    </message>
    <message>
        <source>端末の調査を今すぐ行います。</source>
        <translation>Checks the terminals now.</translation>
    </message>
    <message>
        <source>最小化(&amp;E)</source>
        <translation>&amp;Minimise</translation>
    </message>
    <message>
        <source>Corvaneを終了します。</source>
        <translation>Minimises the Corvane window.</translation>
    </message>
    <message>
        <source>端末の調査を今すぐ行いますか？</source>
        <translation>Check the terminals now?</translation>
    </message>
</context>
<context>
    <name>MessageBar</name>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1「%2」しました。&#x3000;</source>
        <translation>%1 %2.   </translation>
    </message>
    <message>
        <source>%1「%2」&#x3000;</source>
        <translation>%1 %2   </translation>
    </message>
</context>
<context>
    <name>MessageDialog</name>
    <message>
        <source>ﾒｯｾｰｼﾞ</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>ﾒｯｾｰｼﾞを自動的に送信する(&amp;A)</source>
        <translation>Send the message &amp;automatically</translation>
    </message>
    <message>
        <source>送信(&amp;S)</source>
        <translation>&amp;Send</translation>
    </message>
    <message>
        <source>メッセージを送信しました。</source>
        <translation>The message was sent.</translation>
    </message>
    <message>
        <source>メッセージを送信できませんでした。</source>
        <translation>The message could not be sent.</translation>
    </message>
</context>
<context>
    <name>Notice</name>
    <message>
        <source>アクセスしています。</source>
        <translation>Accessing the shares.</translation>
    </message>
    <message>
        <source>ログインしました。</source>
        <translation>Logged in.</translation>
    </message>
    <message>
        <source>ログアウトしました。</source>
        <translation>Logged out.</translation>
    </message>
    <message>
        <source>ネットワーク監視エラーです。</source>
        <translation>Watch error.</translation>
    </message>
    <message>
        <source>ログイン</source>
        <translation>logged in</translation>
    </message>
    <message>
        <source>ログアウト</source>
        <translation>logged out</translation>
    </message>
</context>
<context>
    <name>NoticeWindow</name>
    <message numerus="yes">
        <source>後%n秒</source>
        <translation>
            <numerusform>%n second left</numerusform>
            <numerusform>%n seconds left</numerusform>
        </translation>
    </message>
    <message>
        <source>報告！</source>
        <translation>Report!</translation>
    </message>
    <message>
        <source>すべての監視端末が</source>
        <translation>All watched terminals have</translation>
    </message>
    <message>
        <source>しました。</source>
        <translation>now.</translation>
    </message>
    <message>
        <source>アクセスしています(&amp;A)</source>
        <translation>&amp;Accessing</translation>
    </message>
</context>
<context>
    <name>Probe</name>
    <message>
        <source>コンピュータ名を指定して下さい。</source>
        <translation>Give a computer name.</translation>
    </message>
    <message>
        <source>IPアドレスを取得できませんでした。</source>
        <translation>Could not find the IP address.</translation>
    </message>
    <message>
        <source>ICMP.DLLのロードに失敗しました。</source>
        <translation>Could not open an echo socket.</translation>
    </message>
    <message>
        <source>Soketの初期化に失敗しました。</source>
        <translation>Could not set up the network socket.</translation>
    </message>
    <message>
        <source>ICMP.DLLの関数取得に失敗しました。</source>
        <translation>Could not set up echo requests.</translation>
    </message>
    <message>
        <source>Ping送信用バッファを確保できません。</source>
        <translation>No memory for the echo request.</translation>
    </message>
    <message>
        <source>現在IPアドレスを問い合わせ中です。</source>
        <translation>The IP address is being looked up.</translation>
    </message>
    <message>
        <source>ホスト取得の為のメモリが確保されていません。</source>
        <translation>No memory for the address lookup.</translation>
    </message>
    <message>
        <source>現在、非同期ホストIP取得をしていません。</source>
        <translation>No address lookup is running.</translation>
    </message>
</context>
<context>
    <name>PropertiesDialog</name>
    <message>
        <source>ﾛｸﾞｲﾝ</source>
        <translation>Logged in</translation>
    </message>
    <message>
        <source>ﾛｸﾞｱｳﾄ</source>
        <translation>Logged out</translation>
    </message>
    <message>
        <source>未確認</source>
        <translation>Unconfirmed</translation>
    </message>
    <message>
        <source>お休み</source>
        <translation>Resting</translation>
    </message>
    <message>
        <source>ﾈｯﾄﾜｰｸｴﾗｰ</source>
        <translation>Watch error</translation>
    </message>
    <message>
        <source>ﾜｰｸｸﾞﾙｰﾌﾟ</source>
        <translation>Workgroup</translation>
    </message>
    <message>
        <source>ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ</source>
        <translation>Network provider</translation>
    </message>
    <message>
        <source>Property</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>ﾘｿｰｽ名:</source>
        <translation>Resource name:</translation>
    </message>
    <message>
        <source>ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ:</source>
        <translation>Domain/Workgroup:</translation>
    </message>
    <message>
        <source>ｺﾒﾝﾄ:</source>
        <translation>Comment:</translation>
    </message>
    <message>
        <source>ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ:</source>
        <translation>Network provider:</translation>
    </message>
    <message>
        <source>ｽﾃｰﾀｽ:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>ｵﾍﾟﾚｰﾃｨﾝｸﾞｼｽﾃﾑ:</source>
        <translation>Operating system:</translation>
    </message>
    <message>
        <source>Result:</source>
        <translation>Result:</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>IPｱﾄﾞﾚｽ:</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>MACｱﾄﾞﾚｽ:</source>
        <translation>MAC address:</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ:</source>
        <translation>Program folder:</translation>
    </message>
</context>
<context>
    <name>RecordCommands</name>
    <message>
        <source>起動できません！</source>
        <translation>The file could not be opened.</translation>
    </message>
    <message>
        <source>保存に失敗しました！</source>
        <translation>The report could not be saved.</translation>
    </message>
    <message>
        <source>ファイル名が不正です。
%1</source>
        <translation>The record file name is not valid.
%1</translation>
    </message>
</context>
<context>
    <name>RowCommands</name>
    <message>
        <source>端末を１つだけ選択して下さい。</source>
        <translation>Select exactly one terminal.</translation>
    </message>
    <message>
        <source>リソース状態取得エラーです。</source>
        <translation>The state of the resource could not be read.</translation>
    </message>
    <message>
        <source>起動できません！</source>
        <translation>The program could not be started.</translation>
    </message>
    <message>
        <source>基準とするアイコンの上で右クリックしてください。</source>
        <translation>Right-click on the icon the others are to be aligned with.</translation>
    </message>
    <message>
        <source>%1 調査中...</source>
        <translation>Checking %1...</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Config</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>基本</source>
        <translation>General</translation>
    </message>
    <message>
        <source>個別設定</source>
        <translation>Each Terminal</translation>
    </message>
    <message>
        <source>全体設定</source>
        <translation>All Terminals</translation>
    </message>
    <message>
        <source>アクセス</source>
        <translation>Access</translation>
    </message>
    <message>
        <source>Ping</source>
        <translation>Ping</translation>
    </message>
    <message>
        <source>ログ</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>XML設定</source>
        <translation>XML</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>適用(&amp;A)</source>
        <translation>&amp;Apply</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>XML Ready.</source>
        <translation>XML support ready.</translation>
    </message>
    <message>
        <source>XML not found.</source>
        <translation>XML support not found.</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙが存在しません。</source>
        <translation>The sound file does not exist.</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙ(*.wav)|*.wav|すべてのﾌｧｲﾙ(*.*)|*.*</source>
        <translation>Sound files (*.wav)|*.wav|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝ(*.exe)|*.exe|ｼｮｰﾄｶｯﾄ(*.lnk)|*.lnk|DOSｱﾌﾟﾘｹｰｼｮﾝ(*.pif)|*.pif|すべてのﾌｧｲﾙ(*.*)|*.*</source>
        <translation>Programs (*.exe)|*.exe|Shortcuts (*.lnk)|*.lnk|DOS programs (*.pif)|*.pif|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>監視間隔(&amp;T)</source>
        <translation>Watch in&amp;terval</translation>
    </message>
    <message>
        <source>標準</source>
        <translation>Notice window</translation>
    </message>
    <message>
        <source>メッセージバー</source>
        <translation>Message bar</translation>
    </message>
    <message>
        <source>アイコン点滅</source>
        <translation>Blinking icon</translation>
    </message>
    <message>
        <source>メッセージ表示レベル(&amp;E)</source>
        <translation>Show notic&amp;es as</translation>
    </message>
    <message>
        <source>低速</source>
        <translation>Slow</translation>
    </message>
    <message>
        <source>中速</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>高速</source>
        <translation>Fast</translation>
    </message>
    <message>
        <source>メッセージ速度(&amp;D)</source>
        <translation>Message bar spee&amp;d</translation>
    </message>
    <message>
        <source>Waveの再生が終わるまで次を再生しない(&amp;W)</source>
        <translation>&amp;Wait for a sound to finish before playing the next</translation>
    </message>
    <message>
        <source>厳しいﾁｪｯｸをする(&amp;G)</source>
        <translation>Strict checkin&amp;g</translation>
    </message>
    <message>
        <source>起動時に調査(&amp;S)</source>
        <translation>Check at &amp;start-up</translation>
    </message>
    <message>
        <source>調査する前に聞く(&amp;P)</source>
        <translation>&amp;Prompt before checking</translation>
    </message>
    <message>
        <source>管理者端末(&amp;M)</source>
        <translation>&amp;Manager terminal</translation>
    </message>
    <message>
        <source>「大きなアイコン表示」で小さいアイコンを使う(&amp;I)</source>
        <translation>Use small &amp;icons in the Large Icons view</translation>
    </message>
    <message>
        <source>閉じるボタンを無効にする(&amp;X)</source>
        <translation>Disable the &amp;close button</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>Never</translation>
    </message>
    <message>
        <source>ログイン</source>
        <translation>On login</translation>
    </message>
    <message>
        <source>ログアウト</source>
        <translation>On logout</translation>
    </message>
    <message>
        <source>端末アイコンの点滅(&amp;B)</source>
        <translation>&amp;Blink terminal icons</translation>
    </message>
    <message>
        <source>常時点滅(&amp;N)</source>
        <translation>Blink co&amp;ntinuously</translation>
    </message>
    <message>
        <source>お休み</source>
        <translation>Rest</translation>
    </message>
    <message>
        <source>調査</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>プロパティ</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>メッセージ送信</source>
        <translation>Send message</translation>
    </message>
    <message>
        <source>MAC取得</source>
        <translation>Get MAC address</translation>
    </message>
    <message>
        <source>起動</source>
        <translation>Wake up</translation>
    </message>
    <message>
        <source>エクスプローラで開く</source>
        <translation>Open in file manager</translation>
    </message>
    <message>
        <source>ブラウザで開く</source>
        <translation>Open in web browser</translation>
    </message>
    <message>
        <source>ダブルクリックの動作(&amp;J)</source>
        <translation>Double-clic&amp;k action</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>表示言語(&amp;L)</source>
        <translation>&amp;Language</translation>
    </message>
    <message>
        <source>分</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>次回の起動から有効になります</source>
        <translation>Takes effect the next time the console starts</translation>
    </message>
    <message>
        <source>ﾒｯｾｰｼﾞを表示する</source>
        <translation>Show a notice</translation>
    </message>
    <message>
        <source>表示時間</source>
        <translation>Show for</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>Actionを実行する</source>
        <translation>Run the terminal&apos;s action</translation>
    </message>
    <message>
        <source>管理者に報告</source>
        <translation>Report to the manager</translation>
    </message>
    <message>
        <source>端末ログイン</source>
        <translation>A terminal logs in</translation>
    </message>
    <message>
        <source>MACアドレスを自動取得する</source>
        <translation>Get the MAC address automatically</translation>
    </message>
    <message>
        <source>端末ログアウト</source>
        <translation>A terminal logs out</translation>
    </message>
    <message>
        <source>取得したMACアドレスを破棄する</source>
        <translation>Clear the MAC address obtained</translation>
    </message>
    <message>
        <source>ﾒｯｾｰｼﾞを表示</source>
        <translation>Show a notice</translation>
    </message>
    <message>
        <source>Waveを再生する</source>
        <translation>Play a sound</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>ﾃｽﾄ</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>何もしない</source>
        <translation>Do nothing</translation>
    </message>
    <message>
        <source>コンピューターを終了</source>
        <translation>Shut down</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝを実行</source>
        <translation>Run a program</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝ</source>
        <translation>Program</translation>
    </message>
    <message>
        <source>参照</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>分後</source>
        <translation>minutes later</translation>
    </message>
    <message>
        <source>全体ログイン</source>
        <translation>All terminals logged in</translation>
    </message>
    <message>
        <source>全体ログアウト</source>
        <translation>All terminals logged out</translation>
    </message>
    <message>
        <source>監視間隔(&amp;A)</source>
        <translation>Watch &amp;interval</translation>
    </message>
    <message>
        <source>端末</source>
        <translation>Terminal</translation>
    </message>
    <message>
        <source>共有</source>
        <translation>Share</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>監視ﾕｰｻﾞｰはﾁｪｯｸしない</source>
        <translation>Don&apos;t check watched terminals</translation>
    </message>
    <message>
        <source>IPC$はﾁｪｯｸしない</source>
        <translation>Don&apos;t check IPC$</translation>
    </message>
    <message>
        <source>SYSVOLはﾁｪｯｸしない</source>
        <translation>Don&apos;t check SYSVOL</translation>
    </message>
    <message>
        <source>自PC名$はﾁｪｯｸしない</source>
        <translation>Don&apos;t check this computer&apos;s name$</translation>
    </message>
    <message>
        <source>ｱｸｾｽ時ﾘｽﾄ画面を開く</source>
        <translation>Open the access list on access</translation>
    </message>
    <message>
        <source>ｱｸｾｽがなくなったら閉じる</source>
        <translation>Close it when no access is left</translation>
    </message>
    <message>
        <source>ﾒｯｾｰｼﾞ</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>ﾒｯｾｰｼﾞを自動的に送信する(&amp;A)</source>
        <translation>Send the message a&amp;utomatically</translation>
    </message>
    <message>
        <source>監視レベル</source>
        <translation>Watch level</translation>
    </message>
    <message>
        <source>報告レベル</source>
        <translation>Report level</translation>
    </message>
    <message>
        <source>同時に調査する(&amp;P)</source>
        <translation>Check in &amp;parallel</translation>
    </message>
    <message>
        <source>タイムアウト(&amp;O)</source>
        <translation>Time-&amp;out</translation>
    </message>
    <message>
        <source>ミリ秒</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>送信バイト数(&amp;B)</source>
        <translation>&amp;Bytes sent</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>bytes</translation>
    </message>
    <message>
        <source>TTL(&amp;T)</source>
        <translation>&amp;TTL</translation>
    </message>
    <message>
        <source>再送回数(&amp;R)</source>
        <translation>&amp;Retries</translation>
    </message>
    <message>
        <source>回</source>
        <translation>times</translation>
    </message>
    <message>
        <source>履歴を記録する</source>
        <translation>Keep records</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>拡張子</source>
        <translation>Extension</translation>
    </message>
    <message>
        <source>ﾃﾞｨﾚｸﾄﾘ</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>ログイン履歴(&amp;1)</source>
        <translation>&amp;Login records</translation>
    </message>
    <message>
        <source>ﾛｸﾞｲﾝ履歴保存ﾃﾞｨﾚｸﾄﾘ</source>
        <translation>Folder for login records</translation>
    </message>
    <message>
        <source>ログアウト履歴(&amp;2)</source>
        <translation>Log&amp;out records</translation>
    </message>
    <message>
        <source>ﾛｸﾞｱｳﾄ履歴保存ﾃﾞｨﾚｸﾄﾘ</source>
        <translation>Folder for logout records</translation>
    </message>
    <message>
        <source>アクセス履歴(&amp;3)</source>
        <translation>A&amp;ccess records</translation>
    </message>
    <message>
        <source>ｱｸｾｽ履歴保存ﾃﾞｨﾚｸﾄﾘ</source>
        <translation>Folder for access records</translation>
    </message>
    <message>
        <source>文字コード(&amp;I)</source>
        <translation>&amp;Encoding</translation>
    </message>
    <message>
        <source>参照(&amp;R)</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message>
        <source>XSLﾌｧｲﾙ(*.xsl)|*.xsl|すべてのﾌｧｲﾙ(*.*)|*.*</source>
        <translation>XSL files (*.xsl)|*.xsl|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>スタイルシート(&amp;S)</source>
        <translation>&amp;Stylesheet</translation>
    </message>
    <message>
        <source>ARPに応答した端末も在席とする(&amp;N)</source>
        <translation>Cou&amp;nt terminals that answer ARP as present</translation>
    </message>
    <message>
        <source>例: 445,139,3389,22</source>
        <translation>e.g. 445,139,3389,22</translation>
    </message>
    <message>
        <source>ログアウトまでの不在(&amp;L)</source>
        <translation>Away before &amp;logout</translation>
    </message>
    <message>
        <source>回続けて</source>
        <translation>passes in a row</translation>
    </message>
    <message>
        <source>エコー要求に応答しない端末（Windowsのファイアウォールの既定）を見つける方法です。</source>
        <translation>Ways to find terminals that do not answer echo requests (what Windows&apos; firewall does by default).</translation>
    </message>
    <message>
        <source>同じネットワークにある端末だけ。スリープ中もARPに応答するネットワークアダプターが多く、その端末は在席と表示されます。</source>
        <translation>Only for terminals on this computer&apos;s own networks. Many network adapters answer ARP while their PC sleeps; such a PC shows as present.</translation>
    </message>
    <message>
        <source>TCPポート(&amp;C)</source>
        <translation>T&amp;CP ports</translation>
    </message>
    <message>
        <source>エコーに応答しない端末にこれらのポートへ接続を試み、受け付けるか拒否すれば在席とします。空欄で使いません。毎回の試みは侵入検知にポートスキャンと見えることがあり、ファイアウォールが黙って捨てる端末は見つかりません。</source>
        <translation>A terminal that does not answer the echo gets a connection attempt on these ports; accepting or refusing it means present. Empty: not used. Attempts at every pass can look like a port scan to an intrusion detector, and a terminal whose firewall silently drops them is not found.</translation>
    </message>
    <message>
        <source>通知</source>
        <translation>Notifications</translation>
    </message>
    <message>
        <source>PC01, mailto:kanri@example.jp, https://…</source>
        <translation>PC01, mailto:manager@example.com, https://…</translation>
    </message>
    <message>
        <source>カンマで区切って並べます。コンピューター名にはSMBメッセージ、mailto:アドレスには電子メール（[通知]ページのサーバーから）、http:// または https:// のURLにはJSONのWebhook、text+https://… にはテキストだけのWebhook（ntfyなど）で報告します。</source>
        <translation>Separated by commas. A computer name gets an SMB message, a mailto: address an e-mail (through the Notifications page&apos;s server), an http:// or https:// URL a JSON webhook, and text+https://… a plain-text webhook (ntfy and the like).</translation>
    </message>
    <message>
        <source>STARTTLS（必須）</source>
        <translation>STARTTLS (required)</translation>
    </message>
    <message>
        <source>TLS（ポート465）</source>
        <translation>TLS (port 465)</translation>
    </message>
    <message>
        <source>なし（このコンピューターか信頼できる中継）</source>
        <translation>None (a server on this computer or a trusted relay)</translation>
    </message>
    <message>
        <source>証明書(*.pem *.crt)|*.pem;*.crt|すべてのﾌｧｲﾙ(*.*)|*.*</source>
        <translation>Certificates (*.pem *.crt)|*.pem;*.crt|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>テスト送信(&amp;T)</source>
        <translation>Send a &amp;test</translation>
    </message>
    <message>
        <source>管理者端末に mailto:アドレス を書くと、報告をこのサーバーから電子メールで送ります。</source>
        <translation>A mailto: address among the manager terminals gets the reports by e-mail through this server.</translation>
    </message>
    <message>
        <source>サーバー(&amp;V)</source>
        <translation>Ser&amp;ver</translation>
    </message>
    <message>
        <source>ポート(&amp;O)</source>
        <translation>P&amp;ort</translation>
    </message>
    <message>
        <source>暗号化(&amp;E)</source>
        <translation>&amp;Encryption</translation>
    </message>
    <message>
        <source>ユーザー(&amp;U)</source>
        <translation>&amp;User</translation>
    </message>
    <message>
        <source>パスワード(&amp;W)</source>
        <translation>Pass&amp;word</translation>
    </message>
    <message>
        <source>差出人(&amp;F)</source>
        <translation>&amp;From</translation>
    </message>
    <message>
        <source>CAファイル(&amp;C)</source>
        <translation>&amp;CA file</translation>
    </message>
    <message>
        <source>システムの代わりに信頼するCAの証明書。空欄ならシステムのものを使います。証明書の検証を止める設定はありません。</source>
        <translation>The certificate of a CA to trust instead of the system&apos;s; empty: the system&apos;s. There is no setting that skips certificate checks.</translation>
    </message>
    <message>
        <source>サーバーと、宛先（管理者端末の mailto:アドレス）か差出人を入れてください。</source>
        <translation>Enter the server, and a recipient (a mailto: address among the manager terminals) or the sender.</translation>
    </message>
    <message>
        <source>このプログラムはメールを送れません。</source>
        <translation>This program cannot send mail.</translation>
    </message>
    <message>
        <source>%1 に送信中...</source>
        <translation>Sending to %1...</translation>
    </message>
    <message>
        <source>Corvane のテストメール</source>
        <translation>Corvane test mail</translation>
    </message>
    <message>
        <source>Corvane の通知ページから送ったテストメールです。管理者への報告はこのサーバーから届きます。</source>
        <translation>This test mail was sent from Corvane's Notifications page. Reports to the manager come through this server.</translation>
    </message>
    <message>
        <source>送信しました: %1</source>
        <translation>Sent: %1</translation>
    </message>
    <message>
        <source>送信できませんでした: %1</source>
        <translation>Not sent: %1</translation>
    </message>
    <message>
        <source>連携</source>
        <translation>Integration</translation>
    </message>
    <message>
        <source>使わない</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>トークンを作る(&amp;G)</source>
        <translation>&amp;Make a token</translation>
    </message>
    <message>
        <source>Webページ、JSON、Prometheusのメトリクス</source>
        <translation>Web page, JSON, Prometheus metrics</translation>
    </message>
    <message>
        <source>Webポート(&amp;W)</source>
        <translation>&amp;Web port</translation>
    </message>
    <message>
        <source>待ち受けアドレス(&amp;D)</source>
        <translation>Listening a&amp;ddress</translation>
    </message>
    <message>
        <source>トークン(&amp;K)</source>
        <translation>To&amp;ken</translation>
    </message>
    <message>
        <source>トークンがないと、アドレスにかかわらずこのコンピューターからだけ読めます。ほかのコンピューターから読むにはトークンを作り、証明書と秘密鍵でHTTPSにしてください。</source>
        <translation>Without a token only this computer can read it, whatever the address. For other computers, make a token and use HTTPS with a certificate and a private key.</translation>
    </message>
    <message>
        <source>証明書(&amp;E)</source>
        <translation>C&amp;ertificate</translation>
    </message>
    <message>
        <source>秘密鍵(&amp;Y)</source>
        <translation>Private ke&amp;y</translation>
    </message>
    <message>
        <source>ページのアドレス</source>
        <translation>Page address</translation>
    </message>
    <message>
        <source>MQTT（Home Assistant などのホームオートメーション）</source>
        <translation>MQTT (home automation such as Home Assistant)</translation>
    </message>
    <message>
        <source>ブローカー(&amp;B)</source>
        <translation>&amp;Broker</translation>
    </message>
    <message>
        <source>MQTTポート(&amp;Q)</source>
        <translation>MQTT port (&amp;Q)</translation>
    </message>
    <message>
        <source>トピック(&amp;T)</source>
        <translation>&amp;Topic</translation>
    </message>
    <message>
        <source>MQTTユーザー(&amp;U)</source>
        <translation>MQTT &amp;user</translation>
    </message>
    <message>
        <source>MQTTパスワード(&amp;S)</source>
        <translation>MQTT pa&amp;ssword</translation>
    </message>
    <message>
        <source>（使わない）</source>
        <translation>(off)</translation>
    </message>
    <message>
        <source>トークンが短すぎます。%1文字以上にしてください（「トークンを作る」で作れます）。短いトークンのままではWebページを開きません。</source>
        <translation>The token is too short: give it at least %1 characters (&quot;Make a token&quot; makes one). With a short token the web page stays off.</translation>
    </message>
</context>
<context>
    <name>WatchEngine</name>
    <message>
        <source>%1 調査中...</source>
        <translation>Checking %1...</translation>
    </message>
    <message>
        <source>%1 分前に調査しました。</source>
        <translation>Checked %1 minutes ago.</translation>
    </message>
    <message>
        <source>応答なし %1/%2</source>
        <translation>No answer %1/%2</translation>
    </message>
    <message>
        <source>ARPに応答</source>
        <translation>answers ARP</translation>
    </message>
    <message>
        <source>別のMACがARPに応答</source>
        <translation>another MAC answers ARP</translation>
    </message>
</context>
<context>
    <name>WatchHost</name>
    <message>
        <source>プログラムフォルダー %1 に書き込めません（%2）。設定と監視リストは保存されません。書き込めるフォルダーを環境変数 CORVANE_DIR で指定してください。</source>
        <translation>The program folder %1 cannot be written (%2). The settings and the watch list will not be saved. Name a writable folder in the environment variable CORVANE_DIR.</translation>
    </message>
    <message>
        <source>ICMPエコー要求を送る権限がないため、IPチェックの端末は応答していてもログアウトと表示されます。sysctl -w net.ipv4.ping_group_range=&quot;0 2147483647&quot; または setcap cap_net_raw+ep %1 で許可してください。</source>
        <translation>Corvane has no right to send ICMP echo requests, so every terminal checked by IP shows as logged out even when it answers. Allow them with sysctl -w net.ipv4.ping_group_range=&quot;0 2147483647&quot; or setcap cap_net_raw+ep %1.</translation>
    </message>
</context>
<context>
    <name>WatchList</name>
    <message>
        <source>保存に失敗しました！</source>
        <translation>The list could not be saved.</translation>
    </message>
    <message>
        <source>「%1」にはリストファイルに保存できない文字が含まれています。</source>
        <translation>“%1” holds a character that the list file (code page 932) cannot store.</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ名</source>
        <translation>User Name</translation>
    </message>
    <message>
        <source>ﾘｿｰｽ名</source>
        <translation>Resource Name</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ</source>
        <translation>Domain/Workgroup</translation>
    </message>
    <message>
        <source>ﾛｸﾞｲﾝAction</source>
        <translation>Login Action</translation>
    </message>
    <message>
        <source>ﾛｸﾞｱｳﾄAction</source>
        <translation>Logout Action</translation>
    </message>
    <message>
        <source>ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ</source>
        <translation>Network Provider</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>IP調査</source>
        <translation>IP Check</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>ﾛｸﾞｲﾝ</source>
        <translation>Logged in</translation>
    </message>
    <message>
        <source>ﾛｸﾞｱｳﾄ</source>
        <translation>Logged out</translation>
    </message>
    <message>
        <source>未確認</source>
        <translation>Unconfirmed</translation>
    </message>
    <message>
        <source>お休み</source>
        <translation>Resting</translation>
    </message>
    <message>
        <source>ﾈｯﾄﾜｰｸ監視ｴﾗｰ</source>
        <translation>Watch error</translation>
    </message>
</context>
</TS>
