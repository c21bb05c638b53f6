<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CliText</name>
    <message>
        <source>无法写出结果</source>
        <translation>could not write the output</translation>
    </message>
    <message>
        <source>没有可撤销的写入</source>
        <translation>nothing to undo</translation>
    </message>
    <message>
        <source>用 Zorbel 设置中选择的模型从文字、文件或录音中提取日程，输出 JSON（默认）或 iCalendar，或写入日历。

退出状态：0 找到日程（并已写入或撤销）；2 提取或写入失败，或没有可撤销的写入（原因见标准错误）；3 有日程未能写入或撤销；1 用法错误。</source>
        <translation>Extracts events from text, a file or a recording with the model chosen in Zorbel&apos;s settings, and prints them as JSON (the default) or iCalendar, or writes them to the calendar.

Exit status: 0 events found (and written, or undone); 2 the capture or the write failed, or nothing to undo (the reason is printed on standard error); 3 some events could not be written or undone; 1 usage.</translation>
    </message>
    <message>
        <source>要分析的文字。</source>
        <translation>The text to read.</translation>
    </message>
    <message>
        <source>16 kHz 单声道 WAV 录音。</source>
        <translation>A 16 kHz mono WAV recording.</translation>
    </message>
    <message>
        <source>同意发送到云端模型（与在提示中选择“继续”相同，并被记住）。</source>
        <translation>Consent to sending to a cloud model (the same as answering &quot;Continue&quot; to the question, and remembered).</translation>
    </message>
    <message>
        <source>以 iCalendar 输出。</source>
        <translation>Print iCalendar.</translation>
    </message>
    <message>
        <source>本次使用的提供方（不改设置），如 builtin 为内置规则（离线）。</source>
        <translation>The provider for this run (the settings stay as they are), e.g. builtin for the offline built-in rules.</translation>
    </message>
    <message>
        <source>参考时间，ISO 8601（如 2026-12-06T10:00:00+08:00）。</source>
        <translation>The reference time, ISO 8601 (e.g. 2026-12-06T10:00:00+08:00).</translation>
    </message>
    <message>
        <source>写入设置中的日历并输出回执；日历中已有的日程不再写入。</source>
        <translation>Write to the configured calendar and print a receipt; events the calendar already holds are not written again.</translation>
    </message>
    <message>
        <source>与 --write 一起：改期和取消直接修改日历中的原日程（否则另建新日程）。</source>
        <translation>With --write: moves and cancellations change the original events in the calendar (otherwise new events are added).</translation>
    </message>
    <message>
        <source>撤销上次写入（10 分钟内）；此后在别处改过的日程不动。</source>
        <translation>Take back the last write (within 10 minutes); events edited elsewhere since are left alone.</translation>
    </message>
    <message>
        <source>在标准错误上列出内置规则读到却未当作日程的日期和原因（仅文字输入）。</source>
        <translation>Print on standard error the dates the built-in rules read but did not take as events, and why (text input only).</translation>
    </message>
    <message>
        <source>PDF、Word、文本或图片；- 表示从标准输入读文字。</source>
        <translation>A PDF, Word, text or picture file; - reads text from standard input.</translation>
    </message>
    <message>
        <source>未知的提供方：%1</source>
        <translation>unknown provider: %1</translation>
    </message>
    <message>
        <source>不是 ISO 8601 时间：%1</source>
        <translation>not an ISO 8601 time: %1</translation>
    </message>
    <message>
        <source>输入超过 64 MB</source>
        <translation>the input exceeds 64 MB</translation>
    </message>
</context>
<context>
    <name>CloudTransmissionGate</name>
    <message>
        <source>口述内容</source>
        <translation>your dictation</translation>
    </message>
    <message>
        <source>文件内容</source>
        <translation>the file&apos;s content</translation>
    </message>
    <message>
        <source>粘贴文本</source>
        <translation>the pasted text</translation>
    </message>
    <message>
        <source>图片内容</source>
        <translation>the picture&apos;s content</translation>
    </message>
    <message>
        <source>内容将发送到云端处理</source>
        <translation>Content will be sent to the cloud</translation>
    </message>
    <message>
        <source>本次将把%1发送到「%2」的云端模型，仅用于提取日程信息。Zorbel不会保存或记录这些内容。

同意后将记住本次选择；可在设置中随时清除。</source>
        <translation>This sends %1 to the cloud model of “%2”, only to extract events. Zorbel does not keep or log this content.

If you agree, the choice is remembered; you can clear it in Settings at any time.</translation>
    </message>
    <message>
        <source>继续？[y/N] </source>
        <translation>Continue? [y/N] </translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>ConfirmText</name>
    <message>
        <source>撤销上次写入</source>
        <translation>Undo Last Write</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>准时</source>
        <translation>At start</translation>
    </message>
    <message>
        <source>提前5分钟</source>
        <translation>5 min before</translation>
    </message>
    <message>
        <source>提前10分钟</source>
        <translation>10 min before</translation>
    </message>
    <message>
        <source>提前30分钟</source>
        <translation>30 min before</translation>
    </message>
    <message>
        <source>提前1小时</source>
        <translation>1 hour before</translation>
    </message>
    <message>
        <source>提前2小时</source>
        <translation>2 hours before</translation>
    </message>
    <message>
        <source>提前1天</source>
        <translation>1 day before</translation>
    </message>
    <message>
        <source>不重复</source>
        <translation>Once</translation>
    </message>
    <message>
        <source>每天</source>
        <translation>Daily</translation>
    </message>
    <message>
        <source>每周</source>
        <translation>Weekly</translation>
    </message>
    <message>
        <source>每月</source>
        <translation>Monthly</translation>
    </message>
    <message>
        <source>每年</source>
        <translation>Yearly</translation>
    </message>
    <message>
        <source>永不</source>
        <translation>Never</translation>
    </message>
    <message>
        <source>截止日期</source>
        <translation>Until</translation>
    </message>
    <message>
        <source>重复次数</source>
        <translation>Count</translation>
    </message>
    <message numerus="yes">
        <source>天</source>
        <translation>
            <numerusform>day</numerusform>
            <numerusform>days</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>周</source>
        <translation>
            <numerusform>week</numerusform>
            <numerusform>weeks</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>月</source>
        <translation>
            <numerusform>month</numerusform>
            <numerusform>months</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>年</source>
        <translation>
            <numerusform>year</numerusform>
            <numerusform>years</numerusform>
        </translation>
    </message>
    <message>
        <source>忙碌</source>
        <translation>Busy</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Free</translation>
    </message>
    <message>
        <source>暂定</source>
        <translation>Tentative</translation>
    </message>
    <message>
        <source>目标日历：</source>
        <translation>Calendar:</translation>
    </message>
    <message>
        <source>放弃此次结果</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>确定放弃此次结果？</source>
        <translation>Discard these results?</translation>
    </message>
    <message>
        <source>继续编辑</source>
        <translation>Keep Editing</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>确认日程</source>
        <translation>Confirm Event</translation>
    </message>
    <message numerus="yes">
        <source>确认 %n 个日程</source>
        <translation>
            <numerusform>Confirm %n Event</numerusform>
            <numerusform>Confirm %n Events</numerusform>
        </translation>
    </message>
    <message>
        <source>添加到日历</source>
        <translation>Add to Calendar</translation>
    </message>
    <message numerus="yes">
        <source>另有 %n 个日程超出单次上限（%1 个），未列出</source>
        <translation>
            <numerusform>%n more event is over the limit of %1 at a time and is not listed</numerusform>
            <numerusform>%n more events are over the limit of %1 at a time and are not listed</numerusform>
        </translation>
    </message>
    <message>
        <source>推断</source>
        <translation>inferred</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>default</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>另建新日程</source>
        <translation>Added as a new event</translation>
    </message>
    <message>
        <source>已写入</source>
        <translation>Written</translation>
    </message>
    <message>
        <source>写入失败</source>
        <translation>Not written</translation>
    </message>
    <message>
        <source>已写入 %1/%2，未写入的可重试</source>
        <translation>Written %1/%2; try again for the rest</translation>
    </message>
    <message>
        <source>M月d日</source>
        <translation>MMM d</translation>
    </message>
    <message>
        <source>M月d日 HH:mm</source>
        <translation>MMM d HH:mm</translation>
    </message>
    <message>
        <source>取消原日程</source>
        <translation>Cancels the event</translation>
    </message>
    <message>
        <source>更新：%1 → %2</source>
        <translation>Moves: %1 → %2</translation>
    </message>
    <message>
        <source>已在日历中</source>
        <translation>Already in the calendar</translation>
    </message>
    <message>
        <source>与「%1」时间冲突</source>
        <translation>Overlaps “%1”</translation>
    </message>
    <message>
        <source>未能核对日历中已有的日程</source>
        <translation>Could not check the calendar&apos;s events</translation>
    </message>
    <message>
        <source>标题</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>End</translation>
    </message>
    <message>
        <source>全天</source>
        <translation>All day</translation>
    </message>
    <message>
        <source>重复</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <source>每</source>
        <translation>Every</translation>
    </message>
    <message>
        <source> 次</source>
        <translation>×</translation>
    </message>
    <message>
        <source>地点</source>
        <translation>Place</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Notes</translation>
    </message>
</context>
<context>
    <name>ErrorText</name>
    <message>
        <source>LLM 服务返回 HTTP %1</source>
        <translation>The LLM service answered HTTP %1</translation>
    </message>
    <message>
        <source>未配置 LLM（自动扫描未发现本地服务，请在设置中手动配置）</source>
        <translation>No LLM set up (the scan found no local service; set one up in Settings)</translation>
    </message>
    <message>
        <source>LLM 响应格式异常（缺 choices/message/content）</source>
        <translation>The LLM answer is malformed (no choices/message/content)</translation>
    </message>
    <message>
        <source>LLM 输出中无可用 JSON</source>
        <translation>The LLM answer holds no usable JSON</translation>
    </message>
    <message>
        <source>服务地址未加密（http），不能发送 API Key，请改用 https</source>
        <translation>The service address is not encrypted (http), so the API key cannot be sent; use https</translation>
    </message>
    <message>
        <source>请求超时</source>
        <translation>The request timed out</translation>
    </message>
    <message>
        <source>网络连接失败</source>
        <translation>Network connection failed</translation>
    </message>
    <message>
        <source>无法访问日历，请检查地址、用户名和密码</source>
        <translation>Cannot reach the calendar; check the address, user name and password</translation>
    </message>
    <message>
        <source>无法读取系统密钥环</source>
        <translation>Cannot read the system keyring</translation>
    </message>
</context>
<context>
    <name>PresetText</name>
    <message>
        <source>语音转写服务</source>
        <translation>the speech transcription service</translation>
    </message>
    <message>
        <source>自动检测（推荐）</source>
        <translation>Detect automatically (recommended)</translation>
    </message>
    <message>
        <source>Ollama 本地</source>
        <translation>Ollama (local)</translation>
    </message>
    <message>
        <source>LM Studio 本地</source>
        <translation>LM Studio (local)</translation>
    </message>
    <message>
        <source>内置规则（离线）</source>
        <translation>Built-in rules (offline)</translation>
    </message>
    <message>
        <source>通义千问</source>
        <translation>Qwen</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
</context>
<context>
    <name>SettingsText</name>
    <message>
        <source>内置规则在本机读取日期和时间，无需模型，也不联网</source>
        <translation>Built-in rules read dates and times here: no model, no network</translation>
    </message>
    <message>
        <source>请填写 API Key 后可点&quot;从服务端拉取&quot;获取模型列表</source>
        <translation>Enter the API key, then &quot;Fetch&quot; gets the list of models</translation>
    </message>
    <message>
        <source>Base URL：%1</source>
        <translation>Base URL: %1</translation>
    </message>
    <message>
        <source>可自定义</source>
        <translation>your own</translation>
    </message>
    <message numerus="yes">
        <source>Ollama：%n 个模型</source>
        <translation>
            <numerusform>Ollama: %n model</numerusform>
            <numerusform>Ollama: %n models</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>LM Studio：%n 个模型</source>
        <translation>
            <numerusform>LM Studio: %n model</numerusform>
            <numerusform>LM Studio: %n models</numerusform>
        </translation>
    </message>
    <message>
        <source>已检测到 %1</source>
        <translation>Found %1</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>未检测到本地模型服务，现用内置规则（离线）；可点重新扫描</source>
        <translation>No local service found; using the built-in rules. Try Rescan</translation>
    </message>
    <message>
        <source>未检测到本地模型服务，可点重新扫描，或选「内置规则（离线）」、云端预设</source>
        <translation>No local service found: Rescan, or choose built-in rules or cloud</translation>
    </message>
    <message>
        <source>未检测到本地模型，建议点「拉取推荐模型」下载 %1（约 3GB）</source>
        <translation>No local model found; &quot;Get Model&quot; downloads %1 (about 3 GB)</translation>
    </message>
    <message>
        <source>当前处理路线：内置规则（离线）</source>
        <translation>Now using: built-in rules (offline)</translation>
    </message>
    <message>
        <source>当前处理路线：本地模型：%1</source>
        <translation>Now using: local model %1</translation>
    </message>
    <message>
        <source>当前处理路线：云端处理：%1</source>
        <translation>Now using: cloud, %1</translation>
    </message>
    <message>
        <source>欢迎使用Zorbel</source>
        <translation>Welcome to Zorbel</translation>
    </message>
    <message>
        <source>按住小球说话，松开结束</source>
        <translation>Hold the ball and speak; let go to finish</translation>
    </message>
    <message>
        <source>也可以把 PDF、Word 或文本文件拖到小球上</source>
        <translation>Or drop a PDF, Word or text file on the ball</translation>
    </message>
    <message>
        <source>提取出的日程先经你确认，再写入系统日历</source>
        <translation>You confirm the events found before they go into your calendar</translation>
    </message>
    <message>
        <source>首次录音时才申请麦克风与语音识别权限；首次写入时才申请日历权限。</source>
        <translation>Microphone and speech permissions are asked for at the first recording, calendar access at the first write.</translation>
    </message>
    <message>
        <source>稍后</source>
        <translation>Later</translation>
    </message>
    <message>
        <source>开始使用</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Zorbel 设置</source>
        <translation>Zorbel Settings</translation>
    </message>
    <message>
        <source>通用</source>
        <translation>General</translation>
    </message>
    <message>
        <source>日历与语音</source>
        <translation>Calendar &amp;&amp; Speech</translation>
    </message>
    <message>
        <source>人设（角色与习惯）：</source>
        <translation>About you:</translation>
    </message>
    <message>
        <source>示例：我是律师，常约客户面谈和开庭，会议多在线上。留空则不注入</source>
        <translation>E.g. a lawyer meeting clients, often online. Optional</translation>
    </message>
    <message>
        <source>模型服务：</source>
        <translation>Model service:</translation>
    </message>
    <message>
        <source>Base URL：</source>
        <translation>Base URL:</translation>
    </message>
    <message>
        <source>API Key：</source>
        <translation>API key:</translation>
    </message>
    <message>
        <source>本地服务可留空</source>
        <translation>Not needed for a local service</translation>
    </message>
    <message>
        <source>显示 API Key</source>
        <translation>Show API key</translation>
    </message>
    <message>
        <source>模型：</source>
        <translation>Model:</translation>
    </message>
    <message>
        <source>模型名（可手输）</source>
        <translation>Model name (you may type it)</translation>
    </message>
    <message>
        <source>从服务端拉取</source>
        <translation>Fetch</translation>
    </message>
    <message>
        <source>拉取推荐模型</source>
        <translation>Get Model</translation>
    </message>
    <message>
        <source>后台下载 qwen2.5vl:3b（约 3GB），下载期间可继续其他操作</source>
        <translation>Downloads qwen2.5vl:3b (about 3 GB) in the background; you can go on meanwhile</translation>
    </message>
    <message>
        <source>球体材质：</source>
        <translation>Ball opacity:</translation>
    </message>
    <message>
        <source>面板不透明度：</source>
        <translation>Panel opacity:</translation>
    </message>
    <message>
        <source>皮肤：</source>
        <translation>Skin:</translation>
    </message>
    <message>
        <source>重置云端传输同意</source>
        <translation>Reset Cloud Consent</translation>
    </message>
    <message>
        <source>撤销「允许把内容发送到云端」的授权，下次处理前会重新询问；不影响已保存的 API Key</source>
        <translation>Takes back the consent to send content to the cloud; you are asked again next time. The saved API key stays</translation>
    </message>
    <message>
        <source>项目说明</source>
        <translation>About</translation>
    </message>
    <message>
        <source>重新显示使用说明</source>
        <translation>Show Introduction</translation>
    </message>
    <message>
        <source>重新扫描</source>
        <translation>Rescan</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>隐藏 API Key</source>
        <translation>Hide API key</translation>
    </message>
    <message>
        <source>正在拉取模型列表…</source>
        <translation>Fetching the list of models…</translation>
    </message>
    <message>
        <source>拉取失败：%1</source>
        <translation>Fetch failed: %1</translation>
    </message>
    <message>
        <source>未知错误</source>
        <translation>unknown error</translation>
    </message>
    <message>
        <source>服务端未返回模型列表</source>
        <translation>The server returned no models</translation>
    </message>
    <message numerus="yes">
        <source>已拉取 %n 个模型（累计 %1 个）</source>
        <translation>
            <numerusform>Fetched %n model (%1 in all)</numerusform>
            <numerusform>Fetched %n models (%1 in all)</numerusform>
        </translation>
    </message>
    <message>
        <source>正在拉取 %1（约 3GB）…</source>
        <translation>Downloading %1 (about 3 GB)…</translation>
    </message>
    <message>
        <source>拉取中：%1</source>
        <translation>Downloading: %1</translation>
    </message>
    <message>
        <source>拉取完成，正在重新扫描模型…</source>
        <translation>Downloaded; looking for models again…</translation>
    </message>
    <message>
        <source>拉取失败，可在终端手动执行：%1</source>
        <translation>Download failed; in a terminal, run: %1</translation>
    </message>
    <message>
        <source>已清除「%1」的云端传输同意</source>
        <translation>Cleared the cloud consent for “%1”</translation>
    </message>
    <message>
        <source>扫描中…</source>
        <translation>Scanning…</translation>
    </message>
    <message>
        <source>日历存储：</source>
        <translation>Calendar:</translation>
    </message>
    <message>
        <source>本机日历文件夹</source>
        <translation>Calendar folder on this computer</translation>
    </message>
    <message>
        <source>CalDAV 服务器</source>
        <translation>CalDAV server</translation>
    </message>
    <message>
        <source>本机文件夹：</source>
        <translation>Folder:</translation>
    </message>
    <message>
        <source>服务器 URL：</source>
        <translation>Server URL:</translation>
    </message>
    <message>
        <source>用户名：</source>
        <translation>User name:</translation>
    </message>
    <message>
        <source>密码：</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>测试连接</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>转写服务：</source>
        <translation>Speech URL:</translation>
    </message>
    <message>
        <source>转写模型：</source>
        <translation>Speech model:</translation>
    </message>
    <message>
        <source>转写 Key：</source>
        <translation>Speech key:</translation>
    </message>
    <message>
        <source>录音发送到此 OpenAI 兼容服务的 /audio/transcriptions 接口转成文字；留空时英语用本机识别</source>
        <translation>Recordings go to this OpenAI-compatible /audio/transcriptions endpoint; if empty, English is recognised locally</translation>
    </message>
    <message>
        <source>登录时启动</source>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>界面语言：</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>System</translation>
    </message>
    <message>
        <source>下次启动时生效</source>
        <translation>Applies at next start</translation>
    </message>
    <message>
        <source>无法写入系统密钥环，密码与 Key 未保存</source>
        <translation>Cannot write to the system keyring; the password and key are not saved</translation>
    </message>
    <message>
        <source>正在连接…</source>
        <translation>Connecting…</translation>
    </message>
    <message>
        <source>已连接，但没有可写入的日历</source>
        <translation>Connected, but there is no calendar to write to</translation>
    </message>
    <message numerus="yes">
        <source>找到 %n 个日历：%1</source>
        <translation>
            <numerusform>Found %n calendar: %1</numerusform>
            <numerusform>Found %n calendars: %1</numerusform>
        </translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>连接失败</source>
        <translation>Connection failed</translation>
    </message>
    <message>
        <source>连接失败：%1</source>
        <translation>Connection failed: %1</translation>
    </message>
    <message>
        <source>无法修改登录启动项：%1</source>
        <translation>Cannot change the login item: %1</translation>
    </message>
    <message>
        <source>Wayland 会话中小球无法保持在其他窗口之上，位置由系统决定（屏幕中央）。</source>
        <translation>On Wayland the ball cannot stay on top of other windows; the system places it.</translation>
    </message>
</context>
<context>
    <name>StatusText</name>
    <message>
        <source>需要系统权限</source>
        <translation>Permission needed</translation>
    </message>
    <message>
        <source>请在系统设置中允许后重试</source>
        <translation>Allow it in system settings and retry</translation>
    </message>
    <message>
        <source>暂不支持 .%1 文件</source>
        <translation>.%1 not supported</translation>
    </message>
    <message>
        <source>支持 PDF、Word 和文本文件</source>
        <translation>PDF, Word and text files are supported</translation>
    </message>
    <message>
        <source>没有识别到内容</source>
        <translation>Nothing recognised</translation>
    </message>
    <message>
        <source>请重试并说得更清楚</source>
        <translation>Try again and speak more clearly</translation>
    </message>
    <message>
        <source>无法开始录音</source>
        <translation>Cannot record</translation>
    </message>
    <message>
        <source>请检查当前输入设备</source>
        <translation>Check the input device</translation>
    </message>
    <message>
        <source>无法读取文件</source>
        <translation>Cannot read file</translation>
    </message>
    <message>
        <source>可换一个文件或重试</source>
        <translation>Try another file, or try again</translation>
    </message>
    <message>
        <source>已取消云端处理</source>
        <translation>Cloud use cancelled</translation>
    </message>
    <message>
        <source>模型服务不可用</source>
        <translation>Model unavailable</translation>
    </message>
    <message>
        <source>检查模型服务或更换提供方</source>
        <translation>Check the service or pick another provider</translation>
    </message>
    <message>
        <source>网络连接失败</source>
        <translation>Network error</translation>
    </message>
    <message>
        <source>检查网络后重试</source>
        <translation>Check the network and try again</translation>
    </message>
    <message>
        <source>没有生成可用日程</source>
        <translation>No usable events</translation>
    </message>
    <message>
        <source>可重试或换一个模型</source>
        <translation>Try again or use another model</translation>
    </message>
    <message>
        <source>未能添加到日历</source>
        <translation>Write failed</translation>
    </message>
    <message>
        <source>检查日历权限后重试</source>
        <translation>Check calendar access and try again</translation>
    </message>
    <message>
        <source>读取内容…</source>
        <translation>Reading…</translation>
    </message>
    <message>
        <source>识别语音…</source>
        <translation>Recognising speech…</translation>
    </message>
    <message>
        <source>理解日程…</source>
        <translation>Finding events…</translation>
    </message>
    <message>
        <source>准备确认…</source>
        <translation>Preparing…</translation>
    </message>
    <message>
        <source>松开以读取</source>
        <translation>Release to read</translation>
    </message>
    <message>
        <source>正在录音</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>松开结束</source>
        <translation>Release to finish</translation>
    </message>
    <message>
        <source>正在识别第 %1/%2 页</source>
        <translation>Reading page %1/%2</translation>
    </message>
    <message>
        <source>确认日程</source>
        <translation>Confirm events</translation>
    </message>
    <message numerus="yes">
        <source>已恢复 %n 个日程</source>
        <translation>
            <numerusform>%n event restored</numerusform>
            <numerusform>%n events restored</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>，%n 个在别处改过或未能连接，未动</source>
        <translation>
            <numerusform>; %n left alone</numerusform>
            <numerusform>; %n left alone</numerusform>
        </translation>
    </message>
    <message>
        <source>已撤销上次写入</source>
        <translation>Last write undone</translation>
    </message>
    <message>
        <source>已添加到「%1」</source>
        <translation>Added to “%1”</translation>
    </message>
    <message numerus="yes">
        <source>%n 个日程</source>
        <translation>
            <numerusform>%n event</numerusform>
            <numerusform>%n events</numerusform>
        </translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>去设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>知道了</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ValidationText</name>
    <message>
        <source>标题不能为空</source>
        <translation>The title cannot be empty</translation>
    </message>
    <message>
        <source>结束时间必须晚于开始时间</source>
        <translation>The end must be after the start</translation>
    </message>
    <message>
        <source>日期须在 %1 至 %2 年之间</source>
        <translation>Dates must be between the years %1 and %2</translation>
    </message>
    <message>
        <source>重复的结束日期不能早于开始日期</source>
        <translation>The repeat cannot end before the start date</translation>
    </message>
</context>
<context>
    <name>VoiceText</name>
    <message>
        <source>需要麦克风和语音识别权限</source>
        <translation>Microphone and speech recognition needed</translation>
    </message>
    <message>
        <source>Zorbel会用麦克风录制你的口述，并用系统语音识别转成文字来提取日程。录音文件仅临时保存在本机，识别完成后立即删除。

日历权限不在此处申请：稍后你确认日程、首次点击「添加到日历」时系统才会询问，点允许即可。</source>
        <translation>Zorbel records what you say with the microphone and turns it into text with speech recognition to find events. The recording is kept on this computer only for a moment and deleted as soon as it is recognised.

Calendar access is not asked for here: the system asks the first time you click &quot;Add to Calendar&quot; after confirming events; just allow it.</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
</context>
<context>
    <name>zorbel::AppDelegate</name>
    <message>
        <source>设置…</source>
        <translation>Settings…</translation>
    </message>
    <message>
        <source>退出 Zorbel</source>
        <translation>Quit Zorbel</translation>
    </message>
</context>
<context>
    <name>zorbel::BallView</name>
    <message>
        <source>展开Zorbel</source>
        <translation>Show Zorbel</translation>
    </message>
    <message>
        <source>按住说话，松开结束；键盘可用空格切换录音；拖动移动位置；拖入文件提取日程；Escape 取消</source>
        <translation>Hold to speak, release to finish; Space starts and stops recording; drag to move; drop a file to find its events; Escape cancels</translation>
    </message>
    <message>
        <source>分析剪贴板文本</source>
        <translation>Read Clipboard Text</translation>
    </message>
    <message>
        <source>设置…</source>
        <translation>Settings…</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>已贴边隐藏</source>
        <translation>Docked at the edge</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>正在录音，松开结束</source>
        <translation>Recording; release to finish</translation>
    </message>
    <message>
        <source>松开以读取</source>
        <translation>Release to read</translation>
    </message>
    <message>
        <source>读取内容</source>
        <translation>Reading</translation>
    </message>
    <message>
        <source>识别语音</source>
        <translation>Recognising speech</translation>
    </message>
    <message>
        <source>理解日程</source>
        <translation>Finding events</translation>
    </message>
    <message>
        <source>准备确认</source>
        <translation>Preparing</translation>
    </message>
    <message>
        <source>等待确认日程</source>
        <translation>Waiting for confirmation</translation>
    </message>
    <message>
        <source>已添加到日历</source>
        <translation>Added to the calendar</translation>
    </message>
    <message>
        <source>处理失败</source>
        <translation>Failed</translation>
    </message>
</context>
<context>
    <name>zorbel::SingleInstance</name>
    <message>
        <source>请从「应用程序」启动Zorbel</source>
        <translation>Start Zorbel from Applications</translation>
    </message>
    <message>
        <source>检测到一个已安装的Zorbel正在运行。DMG 安装窗口里的副本不能直接使用：它的签名标识与已安装副本不同，系统授权会按两个程序重复询问。本副本将退出。</source>
        <translation>An installed Zorbel is running. The copy in the DMG window cannot be used directly: its signature differs from the installed copy, so the system would ask for permissions twice. This copy quits.</translation>
    </message>
    <message>
        <source>好</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
