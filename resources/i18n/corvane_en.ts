<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>TfmConfig</name>
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
        <source>MSXML Ready.</source>
        <translation>XML support ready.</translation>
    </message>
    <message>
        <source>MSXML not found.</source>
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
        <source>Windowsを終了</source>
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
</context>
</TS>
