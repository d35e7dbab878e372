<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>ChineseFontCheck</name>
    <message>
        <source>没有安装含简体中文字形的字体，界面中的中文将显示为方框。请安装软件包 %1。</source>
        <translation>No installed font has Simplified Chinese glyphs: the window&apos;s Chinese texts will show as empty boxes. Install the package %1.</translation>
    </message>
</context>
<context>
    <name>ConfigDialog</name>
    <message>
        <source>参数配置</source>
        <translation>Parameter Configuration</translation>
    </message>
    <message>
        <source>峰值</source>
        <translation>Peak value</translation>
    </message>
    <message>
        <source>原始值</source>
        <translation>Original value</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Apply</translation>
    </message>
</context>
<context>
    <name>DownloadDialog</name>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>开始下载</source>
        <translation>Start download</translation>
    </message>
    <message>
        <source>校准表文件 (*.bin)</source>
        <translation>Calibration table file (*.bin)</translation>
    </message>
    <message>
        <source>下载校准表</source>
        <translation>Download calibration table</translation>
    </message>
    <message>
        <source>open file</source>
        <translation>open file</translation>
    </message>
    <message>
        <source>bin file(*.bin *.ifw)</source>
        <translation>bin file(*.bin *.ifw)</translation>
    </message>
    <message>
        <source>bin file(*.bin)</source>
        <translation>bin file(*.bin)</translation>
    </message>
    <message>
        <source>erorr</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>download image error</source>
        <translation>download image error</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>开始获取数据</source>
        <translation>Start acquiring data</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>切换曲线</source>
        <translation>Switch curve</translation>
    </message>
    <message>
        <source>清除显示</source>
        <translation>Clear display</translation>
    </message>
    <message>
        <source>系统信息</source>
        <translation>System info</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>保存曲线为图片</source>
        <translation>Save curve as picture</translation>
    </message>
    <message>
        <source>查看日志</source>
        <translation>View log</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open serial port</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close serial port</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>保存数据</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>载入数据</source>
        <translation>Load data</translation>
    </message>
    <message>
        <source>配置参数</source>
        <translation>Configure parameters</translation>
    </message>
    <message>
        <source>工程模式</source>
        <translation>Engineering mode</translation>
    </message>
    <message>
        <source>F5</source>
        <translation>F5</translation>
    </message>
    <message>
        <source>调试模式</source>
        <translation>Debug mode</translation>
    </message>
    <message>
        <source>F6</source>
        <translation>F6</translation>
    </message>
    <message>
        <source>标定</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>校准</source>
        <translation>Adjust calibration</translation>
    </message>
    <message>
        <source>手动标定</source>
        <translation>Manual calibration</translation>
    </message>
    <message>
        <source>通讯测试</source>
        <translation>Communication test</translation>
    </message>
    <message>
        <source>Get cali param</source>
        <translation>Get cali param</translation>
    </message>
    <message>
        <source>PramCali</source>
        <translation>PramCali</translation>
    </message>
    <message>
        <source>保存参数</source>
        <translation>Save parameters</translation>
    </message>
    <message>
        <source>原始数据</source>
        <translation>Raw data</translation>
    </message>
    <message>
        <source>internal</source>
        <translation>internal</translation>
    </message>
    <message>
        <source>下载程序</source>
        <translation>Download firmware</translation>
    </message>
    <message>
        <source>雷达数据波形工具 V1.0.0</source>
        <translation>Lidar Data Waveform Tool V1.0.0</translation>
    </message>
    <message>
        <source>下次启动时生效</source>
        <translation>Takes effect at the next start</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>写入错误</source>
        <translation>Write error</translation>
    </message>
    <message>
        <source>无法写入文件<byte value="xd"/>
无权限</source>
        <translation>Cannot write the file<byte value="xd"/>
No permission</translation>
    </message>
    <message>
        <source>读入错误</source>
        <translation>Read error</translation>
    </message>
    <message>
        <source>无法读文件<byte value="xd"/>
无权限</source>
        <translation>Cannot read the file<byte value="xd"/>
No permission</translation>
    </message>
</context>
<context>
    <name>comSettings</name>
    <message>
        <source>手动设置串口</source>
        <translation>Set Serial Port</translation>
    </message>
    <message>
        <source>雷达型号：</source>
        <translation>Lidar model:</translation>
    </message>
    <message>
        <source>RVK-58M</source>
        <translation>RVK-58M</translation>
    </message>
    <message>
        <source>串口：</source>
        <translation>Serial port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>230400</source>
        <translation>230400</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
    </message>
    <message>
        <source>460800</source>
        <translation>460800</translation>
    </message>
    <message>
        <source>921600</source>
        <translation>921600</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
</context>
</TS>
