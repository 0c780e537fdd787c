<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>DeZodirorazez</name>
    <message>
        <source>对不起，你没有相应的权限！</source>
        <translation>Sorry, you do not have the required right!</translation>
    </message>
    <message>
        <source>信息提示</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>采购计划表</source>
        <translation>Purchase Plan List</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>操作(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>帮助(H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>打印(&amp;P)...</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>打印预览(&amp;V)...</source>
        <translation>Print Pre&amp;view...</translation>
    </message>
    <message>
        <source>打印设置(&amp;S)...</source>
        <translation>Print &amp;Setup...</translation>
    </message>
    <message>
        <source>引出(&amp;E)</source>
        <translation>&amp;Export</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>保存数据</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>删除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>删除采购计划</source>
        <translation>Delete purchase plans</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>全部选择</source>
        <translation>Select all rows</translation>
    </message>
    <message>
        <source>全清</source>
        <translation>Clear all</translation>
    </message>
    <message>
        <source>全部清除</source>
        <translation>Clear all rows</translation>
    </message>
    <message>
        <source>关闭(&amp;R)</source>
        <translation>Close entries (&amp;R)</translation>
    </message>
    <message>
        <source>关闭采购计划</source>
        <translation>Close purchase plan entries</translation>
    </message>
    <message>
        <source>反关闭</source>
        <translation>Reopen</translation>
    </message>
    <message>
        <source>反关闭采购计划</source>
        <translation>Reopen purchase plan entries</translation>
    </message>
    <message>
        <source>下推采购订单</source>
        <translation>Push to purchase orders</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>过滤条件(&amp;Q)...</source>
        <translation>Filter &amp;conditions...</translation>
    </message>
    <message>
        <source>显示/隐藏列(&amp;H)</source>
        <translation>Show/&amp;hide columns</translation>
    </message>
    <message>
        <source>批量填充</source>
        <translation>Fill down</translation>
    </message>
    <message>
        <source>上查(&amp;S)</source>
        <translation>Trace &amp;upstream</translation>
    </message>
    <message>
        <source>下查(&amp;X)</source>
        <translation>Trace &amp;downstream</translation>
    </message>
    <message>
        <source>帮助目录</source>
        <translation>Help contents</translation>
    </message>
    <message>
        <source>工具栏</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>下推</source>
        <translation>Push</translation>
    </message>
    <message>
        <source>汇总</source>
        <translation>Merge</translation>
    </message>
    <message>
        <source>合并物料代码,名称</source>
        <translation>Merge rows of one item code and name</translation>
    </message>
    <message>
        <source>过滤</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>显示/隐藏列</source>
        <translation>Columns</translation>
    </message>
    <message>
        <source>上查</source>
        <translation>Upstream</translation>
    </message>
    <message>
        <source>下查</source>
        <translation>Downstream</translation>
    </message>
    <message>
        <source>引出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>引出报表</source>
        <translation>Export the report</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>预览</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>保存成功！</source>
        <translation>Saved successfully!</translation>
    </message>
    <message>
        <source>保存失败！</source>
        <translation>Saving failed!</translation>
    </message>
    <message>
        <source>对不起，你没有修改的权限！</source>
        <translation>Sorry, you do not have the right to change plans!</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>条件</source>
        <translation>Conditions</translation>
    </message>
    <message>
        <source>至:</source>
        <translation>To:</translation>
    </message>
    <message>
        <source>物料类别代码:</source>
        <translation>Item class code:</translation>
    </message>
    <message>
        <source>起始日期:</source>
        <translation>Start date:</translation>
    </message>
    <message>
        <source>截止日期:</source>
        <translation>End date:</translation>
    </message>
    <message>
        <source>方案</source>
        <translation>Scheme</translation>
    </message>
    <message>
        <source>方案：</source>
        <translation>Scheme:</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>查看</source>
        <translation>View</translation>
    </message>
    <message>
        <source>大图标(&amp;G)</source>
        <translation>Lar&amp;ge icons</translation>
    </message>
    <message>
        <source>小图标(&amp;M)</source>
        <translation>S&amp;mall icons</translation>
    </message>
    <message>
        <source>列表(&amp;L)</source>
        <translation>&amp;List</translation>
    </message>
    <message>
        <source>详细资料(&amp;D)</source>
        <translation>&amp;Details</translation>
    </message>
    <message>
        <source>起始日期不能大于截止日期!</source>
        <translation>The start date cannot be later than the end date!</translation>
    </message>
    <message>
        <source>默认方案</source>
        <translation>Default scheme</translation>
    </message>
    <message>
        <source>请输入方案名：</source>
        <translation>Enter a scheme name:</translation>
    </message>
    <message>
        <source>保存方案</source>
        <translation>Save scheme</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
</context>
</TS>
