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
</context>
</TS>
